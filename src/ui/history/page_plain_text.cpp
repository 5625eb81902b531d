#include "ui/history/page_plain_text.h"

#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

namespace history {
namespace {

// A stored page is read alone: a style sheet or an image it links is never fetched or read.
class PageDocument : public QTextDocument
{
protected:
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

} // namespace

QString VisibleText(const QString &page)
{
    if (!Qt::mightBeRichText(page))
        return page;
    // Qt's reader drops the content of <script>, <style> and <head> by itself.
    PageDocument document;
    document.setHtml(page);
    // Blanks at a line's end come from the source's layout, not from what a reader sees.
    static const QRegularExpression trailingBlanks(QStringLiteral("[ \\t]+$"),
                                                   QRegularExpression::MultilineOption);
    return document.toPlainText().remove(trailingBlanks);
}

} // namespace history
