// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The entry editor's own texts, exactly as the program shows them.
namespace EditorText {
inline const QString Title = QStringLiteral("VEK");
inline const QString Name = QStringLiteral("名前");
inline const QString Address = QStringLiteral("アドレス");
inline const QString RuleFrame = QStringLiteral("アドレス生成");
inline const QString Rule = QStringLiteral("生成ルール");
inline const QString Result = QStringLiteral("生成結果");
inline const QString MakeName = QStringLiteral("ファイル名生成");
inline const QString Root = QStringLiteral("ルートに作成");
inline const QString Ok = QStringLiteral("OK");
inline const QString Cancel = QStringLiteral("Cancel");
inline const QString Duplicate =
    QStringLiteral("名前が重複しています。\r\nもう一度名前を入力してください");

// Messages of our own for names the data folder cannot take.
inline const QString NotFolderName = QStringLiteral(
    "この名前はフォルダ名に使えません。\r\n"
    "「/」や「\\」を含む名前、空白だけの名前、「.」「..」は指定できません。");
inline const QString TooLong = QStringLiteral(
    "名前が長すぎます。\r\nフォルダ名に使えるのは UTF-8 で 255 バイトまでです。");
inline const QString ControlCharacters = QStringLiteral(
    "名前、アドレス、生成ルールに改行やタブなどの制御文字は使えません。");

// The rule box's tool tip: every token with what it gives today, in a table.
inline const QString RuleTipHeading =
    QStringLiteral("生成ルールの記号は、ダウンロードする日の日付に置き換わります。");
inline const QString RuleTipColumns[] = {QStringLiteral("記号"), QStringLiteral("意味"),
                                         QStringLiteral("今日")};
struct RuleToken {
    const char16_t *token;
    const char16_t *meaning;
};
inline constexpr RuleToken RuleTokens[] = {
    {u"%d", u"日"},
    {u"%m", u"月"},
    {u"%y", u"年（下 2 桁）"},
    {u"%0d", u"日（2 桁）"},
    {u"%0m", u"月（2 桁）"},
    {u"%0y", u"年（4 桁）"},
};
inline const QStringList RuleTipFooter = {
    QStringLiteral("大文字の %D %M %Y %0D %0M %0Y も同じです。"),
    QStringLiteral("「%」のあとに上の記号が続かないときは、「%」と次の 1 文字は消えます。"),
    QStringLiteral("それ以外の文字はそのままアドレスの後ろに付きます。"),
};
} // namespace EditorText
