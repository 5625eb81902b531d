// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The progress window's texts and the boxes that end a run, exactly as the program shows them.
namespace ProgressText {

inline const QString Caption = QStringLiteral("ダウンロード");
inline const QString Stop = QStringLiteral("STOP");
inline const QString Ok = QStringLiteral("OK");
inline const QString CounterInitial = QStringLiteral("0");
inline const QString CounterLabel = QStringLiteral("件目をダウンロード中");
inline const QString Heading = QStringLiteral("ネットワーク接続状況");

inline const QString Finished = QStringLiteral("ダウンロード終了");
inline const QString FailedBox = QStringLiteral("ダウンロード失敗、終了します。");

// Names and messages of our own.
inline const QString LogName = QStringLiteral("ログ");
inline const QString BadName = QStringLiteral(
    "この名前は保存先のフォルダ名に使えないため、ダウンロードできません。\r\n%1");
inline const QString LogWriteFailed = QStringLiteral("ログファイルを書き込めませんでした。\r\n%1\r\n%2");
// Another run (clicked in another window, or unattended) holds the run lock; %1 says who.
inline const QString RunLocked = QStringLiteral(
    "別のダウンロードが実行中のため、開始できません。\r\n終わってからもう一度お試しください。\r\n%1");
inline const QString LogReadFailed = QStringLiteral("ログファイルを読み込めませんでした。\r\n%1");
inline const QString LogForeign = QStringLiteral(
    "ログファイルとして指定されたファイルはこのプログラムのログではないため、読み込みませんでした。\r\n%1");

} // namespace ProgressText
