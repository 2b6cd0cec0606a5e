#pragma once

#include "db/competition.h"

#include <QString>

// What the judge session tells the judge, word for word; the session and its tests share them.
namespace judgetexts {

using namespace Qt::StringLiterals;

inline const QString missingPoints =
    u"＊＊＊ ポイントの入っていない部分があります。 ＊＊＊  確認してください。"_s;
inline const QString competitorChanged = u"選手が変わったため、登録できませんでした。"_s;
inline const QString notRegistered =
    u"登録できませんでした。データベースが立ち上がっているか確認して、もう一度確定してください。"_s;

// For a competitor no longer on display.
inline QString notRegisteredFor(const QString &bibShown)
{
    return u"ゼッケン "_s + bibShown + u" の登録ができませんでした。"_s;
}
inline QString notVerifiedFor(const QString &bibShown)
{
    return u"ゼッケン "_s + bibShown + u" の登録を確認できませんでした。"_s;
}

// A table of the competition the station cannot use; the operator's side has to mend it.
inline QString tableFault(const TableFault &fault)
{
    switch (fault.kind) {
    case TableFault::Kind::Missing:
        return u"データベースにテーブル "_s + fault.table + u" が見つかりません。"_s;
    case TableFault::Kind::NoRow:
        return u"テーブル "_s + fault.table +
               u" に行がありません。オペレーターに確認してください。"_s;
    case TableFault::Kind::SeveralRows:
        break;
    }
    return u"テーブル "_s + fault.table +
           u" に行が複数あります（1 行だけのはずです）。オペレーターに確認してください。"_s;
}

inline QString journalFailed(const QString &why)
{
    return u"採点記録を保存できません（"_s + why + u"）。登録はこのまま続けられます。"_s;
}

} // namespace judgetexts
