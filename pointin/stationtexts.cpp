#include "pointin/stationtexts.h"

namespace stationtexts {

namespace {

const struct
{
    Text text;
    const char16_t *words;
} s_texts[] = {
    // Three blanks between the two sentences.
    {Text::NoSeatChosen, u"ジャッジ記号が選択されていません。   選択してください。"},
    {Text::CannotConnect,
     u"データベースに接続できません。データベースが立ち上がっているか確認してください。"},
    {Text::CannotReadSeat, u"ジャッジ席（%1）の状態を読めませんでした。"},
    {Text::ClaimUnproven,
     u"選択したジャッジコードを登録できたか確認できませんでした。他の端末が使用していないか確認"
     u"してください。使用していなければ、黄色い表示をクリックして席を空け、もう一度確認を押して"
     u"ください。"},
    {Text::ReleaseUnproven,
     u"ジャッジ席（%1）を空けられたか確認できませんでした。次に使うとき席が空いていなければ、"
     u"確認を押して出る黄色い表示をクリックしてください。"},
    {Text::AlreadyRunning, u"Tollivane はすでに起動しています。"},
    {Text::MissingPoints,
     u"＊＊＊ ポイントの入っていない部分があります。 ＊＊＊  確認してください。"},
    {Text::CompetitorChanged, u"選手が変わったため、登録できませんでした。"},
    {Text::NotRegistered,
     u"登録できませんでした。データベースが立ち上がっているか確認して、もう一度確定してください。"},
    {Text::NotRegisteredFor, u"ゼッケン %1 の登録ができませんでした。"},
    {Text::NotVerifiedFor, u"ゼッケン %1 の登録を確認できませんでした。"},
    {Text::TableMissing, u"データベースにテーブル %1 が見つかりません。"},
    {Text::TableWithoutRow, u"テーブル %1 に行がありません。オペレーターに確認してください。"},
    {Text::TableWithSeveralRows,
     u"テーブル %1 に行が複数あります（1 行だけのはずです）。オペレーターに確認してください。"},
    {Text::JournalFailed, u"採点記録を保存できません（%1）。登録はこのまま続けられます。"},
    {Text::RegisteringEnglish, u"Now registering "},
    {Text::RegisteringJapanese, u"登録中です。"},
    {Text::RegisteredEnglish, u"Registered"},
    {Text::RegisteredJapanese, u"登録しました。"},
    {Text::AlreadyRegisteredJapanese, u"登録済みです。"},
    {Text::CheckingEnglish, u"Checking"},
    {Text::CheckingJapanese, u"登録を確認中です。"},
};

} // namespace

QString text(Text text)
{
    for (const auto &t : s_texts) {
        if (t.text == text)
            return QString::fromUtf16(t.words);
    }
    Q_UNREACHABLE();
    return QString();
}

QString tableFault(const TableFault &fault)
{
    switch (fault.kind) {
    case TableFault::Kind::Missing:
        return text(Text::TableMissing).arg(fault.table);
    case TableFault::Kind::NoRow:
        return text(Text::TableWithoutRow).arg(fault.table);
    case TableFault::Kind::SeveralRows:
        break;
    }
    return text(Text::TableWithSeveralRows).arg(fault.table);
}

} // namespace stationtexts
