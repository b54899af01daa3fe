#include "shell/Styles.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QPalette>
#include <array>
#include <mutex>

// Q_INIT_RESOURCE declares a global function and must not be used inside a
// namespace; the resources sit in a static library, so nothing would pull
// them into the program without this reference.
static void initStylesResourceOnce() {
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(styles); });
}

namespace tarn::styles {

namespace {

constexpr QRgb kDefaultAccent = 0xFFD8BFD8;

struct Accent {
    const char* name;
    QRgb color;
};

// Accent colour per offered style name (ARGB, alpha first).
constexpr std::array<Accent, 16> kAccents{{
    {"Calypso", 0x8628A7FF},
    {"Copper", 0x81ACF8EC},
    {"CopperDark", 0x81030101},
    {"CoralCrystal", 0xDAB0DF2C},
    {"Diamond", 0xB8ABB4A9},
    {"EmeraldCrysta", 0xB8796E78},
    {"EmeraldDark", 0x216F576E},
    {"Jet", 0x84040004},
    {"MaterialOxfordBlue", 0x88540027},
    {"PuertoRico", 0x889E6679},
    {"Radiant", 0x885C5558},
    {"Stellar", 0x88643FB1},
    {"Sterling", 0x90C6C2CF},
    {"Transparent", 0xFF15A6E5},
    {"Vapor", 0x760023A6},
    {"WedgewoodLight", 0x819399B1},
}};

// The palette that goes with each style sheet: the colours the sheet uses
// for windows, inputs, buttons and selections, for the widgets the sheet
// does not name. A resource without an entry (the native look) restores the
// platform's palette.
struct ThemeColors {
    const char* resource;
    QRgb window, windowText, base, alternateBase, text, button, buttonText, highlight,
        highlightedText, toolTipBase, toolTipText, placeholderText, link, disabledText;
};

constexpr std::array<ThemeColors, 19> kThemeColors{{
    // clang-format off
    {"CALYPSO", 0x1e3a47, 0xe4f0f4, 0x152c37, 0x1f3640, 0xe4f0f4, 0x2a5264, 0xe4f0f4, 0x3eb4d8, 0xffffff, 0x2a404a, 0xe4f0f4, 0x99abb2, 0x5fc0de, 0x6d838c},
    {"COPPER", 0xefe2d4, 0x3a2416, 0xfbf6f0, 0xf1ece5, 0x3a2416, 0xe2c2a4, 0x3a2416, 0xb5652b, 0xffffff, 0xfbf6f2, 0x3a2416, 0x7f6c5e, 0x915122, 0xa79688},
    {"COPPERDARK", 0x271a12, 0xf0dccb, 0x1c120c, 0x271c16, 0xf0dccb, 0x4a2f20, 0xf0dccb, 0xc8763a, 0xffffff, 0x31261f, 0xf0dccb, 0xa49285, 0xd08a57, 0x77685c},
    {"CORALCRYSTAL", 0xfbeee9, 0x4a2721, 0xfffdfc, 0xf6f2f1, 0x4a2721, 0xf6b3a2, 0x4a2721, 0xf0644a, 0xffffff, 0xfef6f4, 0x4a2721, 0x8d736d, 0xc0503b, 0xb49e99},
    {"DIAMOND", 0xedf2f7, 0x1b2733, 0xffffff, 0xf4f4f5, 0x1b2733, 0xd3dde8, 0x1b2733, 0x2f86d1, 0xffffff, 0xf3f8fc, 0x1b2733, 0x6b747d, 0x266ba7, 0x99a1a9},
    {"EMERALDCRYSTA", 0xe7f4ec, 0x14331f, 0xfbfefc, 0xeff4f1, 0x14331f, 0xa8dcbc, 0x14331f, 0x1b9a52, 0xffffff, 0xf1f9f5, 0x14331f, 0x647c6d, 0x167b42, 0x93a79a},
    {"EMERALDDARK", 0x0f231a, 0xd5eee0, 0x0a1811, 0x14231b, 0xd5eee0, 0x1b3b2b, 0xd5eee0, 0x27b866, 0xffffff, 0x1e2d26, 0xd5eee0, 0x8aa195, 0x4ac37e, 0x5e7469},
    {"JET", 0x121315, 0xd8dbe0, 0x0a0b0c, 0x141517, 0xd8dbe0, 0x24262a, 0xd8dbe0, 0x7f8fa6, 0xffffff, 0x1f2021, 0xd8dbe0, 0x8d8f93, 0x919eb2, 0x616366},
    {"MATERIALOXFORDBLUE", 0x0c1c30, 0xe2e8f1, 0x11253d, 0x1b2f46, 0xe2e8f1, 0x19324f, 0xe2e8f1, 0x4d9bf0, 0xffffff, 0x26384f, 0xe2e8f1, 0x919aa8, 0x6baaf0, 0x626e7d},
    {"PUERTORICO", 0xe6f5f2, 0x123a35, 0xffffff, 0xf3f5f5, 0x123a35, 0xbfe7df, 0x123a35, 0x2fa592, 0xffffff, 0xf3faf8, 0x123a35, 0x63817d, 0x268475, 0x91aaa6},
    {"RADIANT", 0x2a292d, 0xf1ede8, 0x1f1e22, 0x2a282c, 0xf1ede8, 0x46434a, 0xf1ede8, 0xff9a1f, 0x1f1406, 0x343336, 0xf1ede8, 0xa5a3a1, 0xfcab47, 0x7a7778},
    {"STELLAR", 0x141231, 0xe5e3ff, 0x0d0b24, 0x18162f, 0xe5e3ff, 0x28245e, 0xe5e3ff, 0x9479ff, 0xffffff, 0x23213a, 0xe5e3ff, 0x9694b1, 0xa48eff, 0x686683},
    {"STERLING", 0xe4e5e8, 0x212429, 0xf8f8f9, 0xededef, 0x212429, 0xd6d8dd, 0x212429, 0x5d6d85, 0xffffff, 0xf5f6f8, 0x212429, 0x6b6d72, 0x4a576a, 0x96989c},
    {"TRANSPARENT", 0x0f1c28, 0xe6f1fa, 0x0b1620, 0x16212b, 0xe6f1fa, 0x1c3142, 0xe6f1fa, 0x15a6e5, 0xffffff, 0x212c36, 0xe6f1fa, 0x94a0aa, 0x3fb5e9, 0x65717c},
    {"VAPOR", 0x1c1233, 0xf4e9ff, 0x140c27, 0x1f1732, 0xf4e9ff, 0x34205a, 0xf4e9ff, 0xff4fc8, 0xffffff, 0x2a223d, 0xf4e9ff, 0xa297b1, 0x44e4ee, 0x726885},
    {"WEDGEWOODLIGHT", 0xedf2f6, 0x1e3040, 0xffffff, 0xf4f5f5, 0x1e3040, 0xd1dfe9, 0x1e3040, 0x4e7f9e, 0xffffff, 0xf4f7f9, 0x1e3040, 0x6d7a85, 0x3e667e, 0x9aa4ad},
    {"WIN7STYLE", 0xf0f0f0, 0x1a1a1a, 0xffffff, 0xf4f4f4, 0x1a1a1a, 0xdcdcdc, 0x1a1a1a, 0x3399ff, 0xffffff, 0xf3f9ff, 0x1a1a1a, 0x6b6b6b, 0x297acc, 0x9a9a9a},
    {"WIN8STYLE", 0xf0f0f0, 0x1a1a1a, 0xffffff, 0xf4f4f4, 0x1a1a1a, 0xe2e2e2, 0x1a1a1a, 0x2a9fd6, 0xffffff, 0xf2f9fd, 0x1a1a1a, 0x6b6b6b, 0x227fab, 0x9a9a9a},
    {"WIN10STYLE", 0xf0f0f0, 0x000000, 0xffffff, 0xf2f2f2, 0x000000, 0xe1e1e1, 0x000000, 0x0078d7, 0xffffff, 0xf0f7fd, 0x000000, 0x5b5b5b, 0x0060ac, 0x909090},
    // clang-format on
}};

const QString kResourceDir = QStringLiteral(":/styles");
const QString kSuffix = QStringLiteral(".qss");

// The resource name (file name without ".qss") that matches `name` without
// regard to case; empty when none does. Looked up in the listing of the
// compiled-in resources, so a name is never used to build a path.
QString findResource(const QString& name) {
    InitStyleResources();
    if (name.isEmpty())
        return {};
    const QStringList files = QDir(kResourceDir).entryList({QStringLiteral("*.qss")}, QDir::Files);
    for (const QString& file : files) {
        const QString base = file.left(file.size() - kSuffix.size());
        if (base.compare(name, Qt::CaseInsensitive) == 0)
            return base;
    }
    return {};
}

std::optional<QString> readResource(const QString& resource) {
    QFile file(kResourceDir + QLatin1Char('/') + resource + kSuffix);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

QPalette paletteFrom(const ThemeColors& t) {
    auto c = [](QRgb rgb) { return QColor::fromRgb(rgb); };
    // The two-colour constructor derives the bevel shades (light, mid, dark,
    // shadow) from the button colour.
    QPalette p(c(t.button), c(t.window));
    p.setColor(QPalette::WindowText, c(t.windowText));
    p.setColor(QPalette::Base, c(t.base));
    p.setColor(QPalette::AlternateBase, c(t.alternateBase));
    p.setColor(QPalette::Text, c(t.text));
    p.setColor(QPalette::ButtonText, c(t.buttonText));
    p.setColor(QPalette::BrightText, c(t.highlightedText));
    p.setColor(QPalette::Highlight, c(t.highlight));
    p.setColor(QPalette::HighlightedText, c(t.highlightedText));
    p.setColor(QPalette::ToolTipBase, c(t.toolTipBase));
    p.setColor(QPalette::ToolTipText, c(t.toolTipText));
    p.setColor(QPalette::PlaceholderText, c(t.placeholderText));
    p.setColor(QPalette::Link, c(t.link));
    p.setColor(QPalette::LinkVisited, c(t.link));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c(t.disabledText));
    return p;
}

const ThemeColors* themeColorsFor(const QString& resource) {
    for (const ThemeColors& t : kThemeColors) {
        if (resource == QLatin1String(t.resource))
            return &t;
    }
    return nullptr;
}

} // namespace

void InitStyleResources() {
    initStylesResourceOnce();
}

QStringList OfferedStyleNames() {
    return {QStringLiteral("Calypso"),
            QStringLiteral("Copper"),
            QStringLiteral("CopperDark"),
            QStringLiteral("CoralCrystal"),
            QStringLiteral("Diamond"),
            QStringLiteral("EmeraldCrysta"),
            QStringLiteral("EmeraldDark"),
            QStringLiteral("Jet"),
            QStringLiteral("MaterialOxfordBlue"),
            QStringLiteral("PuertoRico"),
            QStringLiteral("Radiant"),
            QStringLiteral("Stellar"),
            QStringLiteral("Sterling"),
            QStringLiteral("Transparent"),
            QStringLiteral("Native GUI"),
            QStringLiteral("Vapor"),
            QStringLiteral("WedgewoodLight")};
}

std::optional<QString> StyleSheetFor(const QString& name) {
    const QString resource = findResource(name);
    if (resource.isEmpty())
        return std::nullopt;
    return readResource(resource);
}

QRgb AccentColor(const QString& name) {
    for (const Accent& a : kAccents) {
        if (name == QLatin1String(a.name))
            return a.color;
    }
    return kDefaultAccent;
}

QRgb DefaultAccentColor() {
    return kDefaultAccent;
}

bool ApplyApplicationStyle(const QString& name) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return false;
    const QString resource = findResource(name);
    if (resource.isEmpty())
        return false;
    const std::optional<QString> sheet = readResource(resource);
    if (!sheet)
        return false;
    // Palette first: setting the sheet afterwards repolishes every widget
    // against the new palette in one pass.
    const ThemeColors* colors = themeColorsFor(resource);
    QApplication::setPalette(colors != nullptr ? paletteFrom(*colors) : QPalette());
    app->setStyleSheet(*sheet);
    return true;
}

} // namespace tarn::styles
