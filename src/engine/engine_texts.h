#pragma once

#include <QString>

// The download engine's texts, exactly as the program shows and logs them.
namespace EngineText {

// The progress dialog.
inline const QString Caption = QStringLiteral("ダウンロード");
inline const QString Stop = QStringLiteral("STOP");
inline const QString Ok = QStringLiteral("OK");
inline const QString CounterInitial = QStringLiteral("0");
inline const QString CounterLabel = QStringLiteral("件目をダウンロード中");
inline const QString Heading = QStringLiteral("ネットワーク接続状況");

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
inline const QString RunClose = QStringLiteral(") ＊＊＊");
inline const QString EntryStart = QStringLiteral(" からダウンロード開始(");
inline const QString EntryEnd = QStringLiteral(" のダウンロード終了(");
inline const QString EntryTimedOut = QStringLiteral(" のダウンロードをタイムオーバーにより中止しました(");
inline const QString Finished = QStringLiteral("ダウンロード終了");

// Our own lines for failures the program reports; name, text, "(", time, ")", and a reason
// after a blank where there is one.
inline const QString EntryFailed = QStringLiteral(" のダウンロードに失敗しました(");
inline const QString BadName =
    QStringLiteral(" は保存先のフォルダ名に使えないため、ダウンロードしませんでした(");
inline const QString FolderFailed = QStringLiteral(" のフォルダを作成できませんでした(");
inline const QString CopyFailed =
    QStringLiteral(" の前のページを日付のフォルダに残せなかったため、ページを保存しませんでした(");
inline const QString WriteFailed = QStringLiteral(" のページを保存できませんでした(");
inline const QString BadTimeout =
    QStringLiteral("タイムアウトの秒数「%1」は正の整数ではないため、%2 秒を使います");
inline const QString LogWriteFailed = QStringLiteral("ログファイルを書き込めませんでした。\r\n%1\r\n%2");
inline const QString LogReadFailed = QStringLiteral("ログファイルを読み込めませんでした。\r\n%1");

} // namespace EngineText
