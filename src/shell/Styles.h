#pragma once
// The compiled-in styles: one Qt style sheet per style resource (":/styles/
// <RESOURCE>.qss") and the accent colour that goes with each style name.
//
// A style name finds its resource without regard to case ("jet" loads JET);
// the accent colour table compares names exactly, case included, so "jet"
// gets the default accent. "Native GUI" matches no resource because of its
// blank, so choosing it keeps the current look.
//
// Applying a style also installs an application palette in the style's
// colours, so that top-level windows and widgets the sheet does not name
// (plain QWidget/QFrame containers, scroll area viewports) take the theme's
// background and text colours. The sheets never set the background of plain
// QWidget or QFrame, which lets a window paint its own accent shapes through
// their palette or their own style sheet.
//
// Main thread only (the application style sheet and palette are global).

#include <QRgb>
#include <QString>
#include <QStringList>
#include <optional>

namespace tarn::styles {

// Registers the style resources of this static library; safe to call more
// than once. The functions below call it themselves.
void InitStyleResources();

// The 17 style names the options dialog offers, in its order.
QStringList OfferedStyleNames();

// The text of the style sheet whose resource name equals `name` without
// regard to case; nullopt when there is none. The resource of an empty
// look (NATIVEGUI) yields an empty or comment-only sheet.
std::optional<QString> StyleSheetFor(const QString& name);

// The accent colour (ARGB, alpha first) of a style name, compared exactly;
// DefaultAccentColor() for any name not in the table.
QRgb AccentColor(const QString& name);

// 0xFFD8BFD8, the accent of "Native GUI" and of unknown names.
QRgb DefaultAccentColor();

// Sets the application's style sheet (and palette) from the resource that
// matches `name`. When no resource matches, or there is no QApplication,
// nothing changes and the result is false.
bool ApplyApplicationStyle(const QString& name);

} // namespace tarn::styles
