// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The history window's texts.
namespace HistoryText {

// %1 is the entry's name.
inline const QString Caption = QStringLiteral("履歴 - %1");

// The list of stored versions.
inline const QString StoredAt = QStringLiteral("保存日時");
inline const QString File = QStringLiteral("ファイル");
inline const QString Size = QStringLiteral("サイズ");
inline const QString AgainstOlder = QStringLiteral("前の版と");
inline const QString Same = QStringLiteral("同じ");
inline const QString Changed = QStringLiteral("変更あり");
inline const QString Bytes = QStringLiteral("%1 バイト");
inline const QString Hint = QStringLiteral("版を 2 つ選ぶと、その 2 つを比較します。");
// A row of versions folded away: %1 copies of the version below it.
inline const QString SameVersions = QStringLiteral("同じ版 %1 件");
inline const QString AllVersions = QStringLiteral("同じ版もすべて表示");

// The comparison. %1 and %2 name the older and the newer version.
inline const QString Compared = QStringLiteral("比較: %1 → %2");
inline const QString NoOlder = QStringLiteral("比較する前の版がありません。");
inline const QString Comparing = QStringLiteral("比較しています…");
inline const QString SideBySide = QStringLiteral("左右に並べて表示");
inline const QString RawHtml = QStringLiteral("HTML のソースで比較");
inline const QString PreviousChange = QStringLiteral("前の変更");
inline const QString NextChange = QStringLiteral("次の変更");
inline const QString Added = QStringLiteral("追加 %1 行");
inline const QString Removed = QStringLiteral("削除 %1 行");
inline const QString NoDifference = QStringLiteral("違いはありません。");
inline const QString Binary = QStringLiteral("バイナリ（%1 バイト）");
// A text page compared with a binary one.
inline const QString TextPage = QStringLiteral("テキスト（%1 バイト）");
inline const QString BinarySame = QStringLiteral("バイナリのためバイト単位で比較しました: 同じ内容です。");
inline const QString BinaryDiffers = QStringLiteral("バイナリのためバイト単位で比較しました: 内容が異なります。");
inline const QString Unreadable = QStringLiteral("読み込めませんでした: %1");
inline const QString OldLine = QStringLiteral("旧");
inline const QString NewLine = QStringLiteral("新");
inline const QString LineText = QStringLiteral("内容");
inline const QString DiffName = QStringLiteral("差分");

inline const QString Open = QStringLiteral("ブラウザで開く");
inline const QString Close = QStringLiteral("閉じる");

} // namespace HistoryText
