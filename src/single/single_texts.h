#pragma once

#include <QString>

// Texts of the single-entry download; the lines it shares with a full run are the engine's.
namespace SingleText {
inline const QString RunFailed = QStringLiteral("＊＊＊ ダウンロード失敗(");
inline const QString FailedBox = QStringLiteral("ダウンロード失敗、終了します。");
inline const QString BadName = QStringLiteral(
    "この名前は保存先のフォルダ名に使えないため、ダウンロードできません。\r\n%1");
} // namespace SingleText
