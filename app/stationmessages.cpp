#include "app/stationmessages.h"

namespace {

struct Text
{
    StationMessage message;
    const char16_t *text;
};

constexpr Text s_texts[] = {
    // Three blanks between the two sentences.
    {StationMessage::NoSeatChosen, u"ジャッジ記号が選択されていません。   選択してください。"},
    {StationMessage::CannotConnect,
     u"データベースに接続できません。データベースが立ち上がっているか確認してください。"},
    {StationMessage::CannotReadSeat, u"ジャッジ席（%1）の状態を読めませんでした。"},
    {StationMessage::AlreadyRunning, u"Tollivane はすでに起動しています。"},
};

} // namespace

QString stationMessage(StationMessage message)
{
    for (const Text &t : s_texts) {
        if (t.message == message)
            return QString::fromUtf16(t.text);
    }
    return QString();
}
