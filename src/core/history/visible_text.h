// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a reader sees of a page: the text of its HTML without the markup, line by line as its
// blocks stand. Qt Core alone, so an unattended run can tell with it whether a page changed
// for its reader.
namespace history {

// A page's text without what a browser does not show (markup, comments, scripts, styles, the
// title, images, attributes), character references read, whitespace run together as a browser
// runs it. Each block (a paragraph, a heading, a list item, a table cell ...) and each <br>
// begins a line; <pre> keeps its lines and blanks; no line ends in a blank. Text that is no
// HTML stays as it is.
QString VisibleText(const QString &page);

// The visible text with every run of whitespace (line ends, no-break and ideographic spaces
// included) as one blank and none at either end: two versions whose collapsed texts are equal
// read the same.
QString CollapsedText(const QString &visibleText);

// The HTML with a line end put before every tag of a block element and every <br> that does not
// begin its line, so a page written on one line compares line by line. Nothing else changes;
// text that is no HTML stays as it is.
QString BreakBeforeBlocks(const QString &page);

} // namespace history
