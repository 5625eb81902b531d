// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The texts a run shows in its status lines and writes to its log, exactly as the program
// shows and logs them. The log's lines are put together in run_log.cpp alone.
namespace RunText {

// Status lines of the connection slots; all but Idle are followed by " (", name, ")".
inline const QString Idle = QStringLiteral("接続無し");
inline const QString Connecting = QStringLiteral("接続開始");
inline const QString Resolving = QStringLiteral("IP アドレスを調べています");
inline const QString Requesting = QStringLiteral("要求を送信しています");
inline const QString Receiving = QStringLiteral("応答を受信しています");

// Log lines: each is CR LF (twice for the run's end) and the parts, with date and/or time.
inline const QString CrLf = QStringLiteral("\r\n");
inline const QString RunStart = QStringLiteral("＊＊＊ ダウンロード開始(");
inline const QString RunEnd = QStringLiteral("＊＊＊ ダウンロード終了(");
inline const QString RunStop = QStringLiteral("＊＊＊ ダウンロード中止 (");
inline const QString RunFailed = QStringLiteral("＊＊＊ ダウンロード失敗(");
inline const QString RunClose = QStringLiteral(") ＊＊＊");
inline const QString EntryStart = QStringLiteral(" からダウンロード開始(");
inline const QString EntryEnd = QStringLiteral(" のダウンロード終了(");
inline const QString EntryTimedOut = QStringLiteral(" のダウンロードをタイムオーバーにより中止しました(");

// Our own lines for failures the program reports; name, text, "(", time, ")", and a reason
// after a blank where there is one.
inline const QString EntryFailed = QStringLiteral(" のダウンロードに失敗しました(");
inline const QString BadName =
    QStringLiteral(" は保存先のフォルダ名に使えないため、ダウンロードしませんでした(");
inline const QString FolderFailed = QStringLiteral(" のフォルダを作成できませんでした(");
inline const QString CopyFailed =
    QStringLiteral(" の前のページを日付のフォルダに残せなかったため、ページを保存しませんでした(");
inline const QString WriteFailed = QStringLiteral(" のページを保存できませんでした(");
inline const QString PageCut =
    QStringLiteral(" のページは %1 バイトを超えていたため、先頭の %1 バイトだけを保存しました(");
// A page that was the one stored already (after a 304 its status follows the time).
inline const QString PageUnchanged = QStringLiteral(" のページは前回から変わっていません(");
inline const QString InfoFailed = QStringLiteral(" のページの更新確認用の情報を保存できませんでした(");
// The end of a run that keeps dated copies for so many days or so many copies.
inline const QString CopiesPruned = QStringLiteral(" の古いコピーを %1 件削除しました(");
inline const QString PruneFailed = QStringLiteral(" の古いコピーを削除できませんでした(");
// After the reason of a 429 or 503 answer: the wait its server asked for, in seconds.
inline const QString AskedToWait = QStringLiteral("%1 (%2 秒待つよう求められました)");
// The reason of an entry not asked for: its server asked for a longer wait than the time-out.
inline const QString NotAsked = QStringLiteral("要求を送りませんでした: %1");
// Why a log file was not written; the log stays in the progress window.
inline const QString LogIsSettings = QStringLiteral("設定ファイルはログファイルに使えません");
inline const QString LogNotAFile = QStringLiteral("通常のファイルではないため、書き込みませんでした");
inline const QString LogNotALog = QStringLiteral("このプログラムのログではないファイルのため、上書きしませんでした");
inline const QString BadTimeout =
    QStringLiteral("タイムアウトの秒数「%1」は正の整数ではないため、%2 秒を使います");

// What a run says happened once it has ended: in the progress window's end box, on the
// standard output of --run-all and in the desktop's notification. Our own texts.
inline const QString EndCounts = QStringLiteral("変化あり %1 件、失敗 %2 件");
inline const QString ChangedLine = QStringLiteral("変化あり: %1");
inline const QString FailedLine = QStringLiteral("失敗: %1");
// A failed entry with its reason.
inline const QString FailedEntry = QStringLiteral("%1 (%2)");
inline const QString NamesJoin = QStringLiteral(", ");
inline const QString NoticeChanged = QStringLiteral("Vekanto: %1 件のページが変わりました");
inline const QString NoticeFailed = QStringLiteral("Vekanto: %1 件のダウンロードに失敗しました");
inline const QString NoticeNamesJoin = QStringLiteral("、");
inline const QString NoticeMore = QStringLiteral(" ほか %1 件");
inline const QString NoticeAction = QStringLiteral("履歴を開く");
// The reason of a failure whose log line gave none after the entry's line.
inline const QString TimedOutReason = QStringLiteral("タイムオーバー");
inline const QString BadNameReason = QStringLiteral("保存先のフォルダ名に使えない名前");
inline const QString FailedReason = QStringLiteral("ダウンロード失敗");

} // namespace RunText
