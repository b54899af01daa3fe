#include "shell/Styles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest/QTest>
#include <memory>
#include <ostream>
#include <set>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace tarn::styles;

namespace {

// Every style resource the program must carry.
const QStringList kResources = {
    "CALYPSO",        "COPPER",      "COPPERDARK", "CORALCRYSTAL",       "DIAMOND",
    "EMERALDCRYSTA",  "EMERALDDARK", "JET",        "MATERIALOXFORDBLUE", "PUERTORICO",
    "RADIANT",        "STELLAR",     "STERLING",   "TRANSPARENT",        "VAPOR",
    "WEDGEWOODLIGHT", "NATIVEGUI",   "WIN7STYLE",  "WIN8STYLE",          "WIN10STYLE"};

// The shapes the main window colours with the accent itself.
const QStringList kAccentShapes = {"RectangleStatus",   "RadiantGear1",
                                   "RectangleRoomList", "RectangleLogInStatus",
                                   "RectangleProfile",  "RectangleEditYourProfile"};

class StylesTest : public ::testing::Test {
protected:
    void SetUp() override { originalWindow_ = QApplication::palette().color(QPalette::Window); }
    void TearDown() override {
        qApp->setStyleSheet(QString());
        QApplication::setPalette(QPalette());
    }
    QColor originalWindow_;
};

TEST_F(StylesTest, CarriesExactlyTheStyleResources) {
    InitStyleResources();
    QStringList found;
    for (const QString& file : QDir(":/styles").entryList(QDir::Files))
        found << file;
    QStringList expected;
    for (const QString& r : kResources)
        expected << r + ".qss";
    found.sort();
    expected.sort();
    EXPECT_EQ(found, expected);
}

TEST_F(StylesTest, OfferedNamesHaveSheetsAndAccentsExceptNativeGui) {
    const QStringList names = OfferedStyleNames();
    ASSERT_EQ(names.size(), 17);
    EXPECT_EQ(names.first(), "Calypso");
    EXPECT_EQ(names.indexOf("Native GUI"), 14);
    EXPECT_EQ(names.last(), "WedgewoodLight");

    std::set<QString> distinctSheets;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const std::optional<QString> sheet = StyleSheetFor(name);
        if (name == "Native GUI") {
            EXPECT_FALSE(sheet.has_value());
            EXPECT_EQ(AccentColor(name), DefaultAccentColor());
            continue;
        }
        ASSERT_TRUE(sheet.has_value());
        EXPECT_FALSE(sheet->trimmed().isEmpty());
        EXPECT_TRUE(distinctSheets.insert(*sheet).second) << "sheet shared with another style";
        EXPECT_NE(AccentColor(name), DefaultAccentColor());
    }
    for (const char* unoffered : {"WIN7STYLE", "WIN8STYLE", "WIN10STYLE"}) {
        SCOPED_TRACE(unoffered);
        const std::optional<QString> sheet = StyleSheetFor(unoffered);
        ASSERT_TRUE(sheet.has_value());
        EXPECT_FALSE(sheet->trimmed().isEmpty());
        EXPECT_TRUE(distinctSheets.insert(*sheet).second);
    }
}

TEST_F(StylesTest, SheetLookupIgnoresCaseButAccentLookupDoesNot) {
    const struct {
        const char* name;
        const char* resource; // nullptr: no sheet
        QRgb accent;
    } cases[] = {
        {"Jet", "JET", 0x84040004},
        {"jet", "JET", 0xFFD8BFD8},
        {"JET", "JET", 0xFFD8BFD8},
        {"Sterling", "STERLING", 0x90C6C2CF},
        {"Transparent", "TRANSPARENT", 0xFF15A6E5},
        {"Vapor", "VAPOR", 0x760023A6},
        {"Native GUI", nullptr, 0xFFD8BFD8},
        {"NativeGUI", "NATIVEGUI", 0xFFD8BFD8},
        {"Win10Style", "WIN10STYLE", 0xFFD8BFD8},
        {"", nullptr, 0xFFD8BFD8},
        {"Unknown", nullptr, 0xFFD8BFD8},
        {"JET.qss", nullptr, 0xFFD8BFD8},
        {"../styles/JET", nullptr, 0xFFD8BFD8},
        {"Jet ", nullptr, 0xFFD8BFD8},
    };
    EXPECT_EQ(DefaultAccentColor(), 0xFFD8BFD8u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AccentColor(c.name), c.accent);
        const std::optional<QString> sheet = StyleSheetFor(c.name);
        if (c.resource == nullptr) {
            EXPECT_FALSE(sheet.has_value());
        } else {
            ASSERT_TRUE(sheet.has_value());
            EXPECT_EQ(*sheet, StyleSheetFor(c.resource).value());
        }
    }
}

TEST_F(StylesTest, ApplyingAnUnmatchedNameKeepsTheCurrentLook) {
    ASSERT_TRUE(ApplyApplicationStyle("Jet"));
    const QString jetSheet = StyleSheetFor("Jet").value();
    EXPECT_EQ(qApp->styleSheet(), jetSheet);
    const QPalette jetPalette = QApplication::palette();
    EXPECT_NE(jetPalette.color(QPalette::Window), originalWindow_);

    for (const char* name : {"Native GUI", "", "Unknown"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ApplyApplicationStyle(name));
        EXPECT_EQ(qApp->styleSheet(), jetSheet);
        EXPECT_EQ(QApplication::palette(), jetPalette);
    }

    // The native resource itself, reached without the blank, restores the
    // framework's own look.
    ASSERT_TRUE(ApplyApplicationStyle("nativegui"));
    EXPECT_EQ(qApp->styleSheet(), StyleSheetFor("NATIVEGUI").value());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), originalWindow_);
}

TEST_F(StylesTest, NoSheetNamesTheAccentShapes) {
    for (const QString& resource : kResources) {
        SCOPED_TRACE(resource.toStdString());
        const QString sheet = StyleSheetFor(resource).value_or(QString());
        for (const QString& shape : kAccentShapes)
            EXPECT_FALSE(sheet.contains(shape, Qt::CaseInsensitive)) << shape.toStdString();
    }
}

// Qt draws nothing, and says nothing, for an image that is missing.
TEST_F(StylesTest, EveryImageASheetUsesIsCompiledIn) {
    const QRegularExpression url(R"(url\(([^)]*)\))");
    int images = 0;
    for (const QString& resource : kResources) {
        SCOPED_TRACE(resource.toStdString());
        const QString sheet = StyleSheetFor(resource).value_or(QString());
        for (const QRegularExpressionMatch& m : url.globalMatch(sheet)) {
            const QString path = m.captured(1).trimmed();
            EXPECT_TRUE(path.startsWith(":/styles/")) << path.toStdString();
            EXPECT_FALSE(QImage(path).isNull()) << path.toStdString();
            ++images;
        }
    }
    EXPECT_GT(images, 0);
}

// A window with one of every control the sheets style, plus accent shapes
// coloured the two ways a window can colour them.
struct WidgetTree {
    QMainWindow window;
    QDialog dialog;
    QMenu* menu = nullptr;
    QComboBox* combo = nullptr;
    QWidget* paletteShape = nullptr;
    QFrame* paletteFrame = nullptr;
    QFrame* sheetShape = nullptr;

    explicit WidgetTree(QColor accent) {
        menu = window.menuBar()->addMenu("&File");
        menu->addAction("Open");
        QAction* checkable = menu->addAction("Checked");
        checkable->setCheckable(true);
        checkable->setChecked(true);
        menu->addSeparator();
        menu->addAction("Disabled")->setEnabled(false);
        window.menuBar()->addMenu("&Help")->addAction("About");
        window.statusBar()->showMessage("Ready");

        auto* central = new QWidget;
        auto* layout = new QVBoxLayout(central);
        auto* tabs = new QTabWidget;
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        tabs->addTab(page, "Login");
        tabs->addTab(new QWidget, "Registry");
        tabs->setTabEnabled(1, false);
        layout->addWidget(tabs);

        auto* normal = new QPushButton("Normal");
        auto* disabled = new QPushButton("Disabled");
        disabled->setEnabled(false);
        auto* checked = new QPushButton("Checked");
        checked->setCheckable(true);
        checked->setChecked(true);
        auto* flat = new QPushButton("Flat");
        flat->setFlat(true);
        auto* tool = new QToolButton;
        tool->setText("Tool");
        for (QWidget* w : std::initializer_list<QWidget*>{normal, disabled, checked, flat, tool})
            pageLayout->addWidget(w);

        auto* edit = new QLineEdit("text");
        auto* placeholder = new QLineEdit;
        placeholder->setPlaceholderText("Username");
        auto* readOnly = new QLineEdit("read only");
        readOnly->setReadOnly(true);
        auto* disabledEdit = new QLineEdit("disabled");
        disabledEdit->setEnabled(false);
        for (QWidget* w :
             std::initializer_list<QWidget*>{edit, placeholder, readOnly, disabledEdit})
            pageLayout->addWidget(w);
        auto* text = new QTextEdit;
        text->setPlainText(QString("line\n").repeated(40));
        pageLayout->addWidget(text);
        auto* plain = new QPlainTextEdit(QString("plain\n").repeated(40));
        plain->setLineWrapMode(QPlainTextEdit::NoWrap);
        plain->appendPlainText(QString(300, QLatin1Char('x')));
        pageLayout->addWidget(plain);

        auto* list = new QListWidget;
        for (int i = 0; i < 30; ++i)
            list->addItem(QString("User %1").arg(i));
        list->setCurrentRow(2);
        list->setAlternatingRowColors(true);
        pageLayout->addWidget(list);

        combo = new QComboBox;
        combo->addItems({"SOCOM2", "SOCOM3/CA", "General Chat", "SOCOM PSP"});
        auto* editableCombo = new QComboBox;
        editableCombo->setEditable(true);
        editableCombo->addItem("12");
        auto* disabledCombo = new QComboBox;
        disabledCombo->addItem("off");
        disabledCombo->setEnabled(false);
        for (QWidget* w : std::initializer_list<QWidget*>{combo, editableCombo, disabledCombo})
            layout->addWidget(w);

        auto* group = new QGroupBox("Group");
        auto* groupLayout = new QVBoxLayout(group);
        auto* check = new QCheckBox("Checked");
        check->setChecked(true);
        auto* partial = new QCheckBox("Partial");
        partial->setTristate(true);
        partial->setCheckState(Qt::PartiallyChecked);
        auto* checkOff = new QCheckBox("Disabled");
        checkOff->setEnabled(false);
        auto* radio = new QRadioButton("Radio");
        radio->setChecked(true);
        auto* radio2 = new QRadioButton("Other");
        for (QWidget* w : std::initializer_list<QWidget*>{check, partial, checkOff, radio, radio2,
                                                          new QLabel("Label")})
            groupLayout->addWidget(w);
        layout->addWidget(group);
        auto* checkableGroup = new QGroupBox("Checkable");
        checkableGroup->setCheckable(true);
        layout->addWidget(checkableGroup);

        auto* progress = new QProgressBar;
        progress->setValue(40);
        layout->addWidget(progress);
        auto* scroll = new QScrollBar(Qt::Horizontal);
        layout->addWidget(scroll);

        auto* table = new QTableWidget(20, 3);
        table->setHorizontalHeaderLabels({"Name", "Map", "Players"});
        table->setAlternatingRowColors(true);
        table->selectRow(1);
        layout->addWidget(table);
        auto* tree = new QTreeWidget;
        tree->setHeaderLabels({"Room", "Count"});
        auto* item = new QTreeWidgetItem(tree, QStringList{"General Chat", "3"});
        new QTreeWidgetItem(item, QStringList{"child", "1"});
        tree->expandAll();
        layout->addWidget(tree);

        QPalette shapePalette;
        shapePalette.setColor(QPalette::Window, accent);
        paletteShape = new QWidget;
        paletteShape->setObjectName(kAccentShapes[0]);
        paletteShape->setAutoFillBackground(true);
        paletteShape->setPalette(shapePalette);
        paletteShape->setFixedSize(24, 24);
        paletteFrame = new QFrame;
        paletteFrame->setObjectName(kAccentShapes[2]);
        paletteFrame->setAutoFillBackground(true);
        paletteFrame->setPalette(shapePalette);
        paletteFrame->setFixedSize(24, 24);
        sheetShape = new QFrame;
        sheetShape->setObjectName(kAccentShapes[3]);
        sheetShape->setStyleSheet(QString("background-color: %1;").arg(accent.name()));
        sheetShape->setFixedSize(24, 24);
        for (QWidget* w : std::initializer_list<QWidget*>{paletteShape, paletteFrame, sheetShape})
            layout->addWidget(w);
        window.setCentralWidget(central);

        auto* dialogLayout = new QVBoxLayout(&dialog);
        dialogLayout->addWidget(new QLabel("Question?"));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No);
        buttons->button(QDialogButtonBox::Yes)->setDefault(true);
        dialogLayout->addWidget(buttons);
    }
};

class EachStyleSheet : public ::testing::TestWithParam<QString> {
protected:
    void TearDown() override {
        qApp->setStyleSheet(QString());
        QApplication::setPalette(QPalette());
    }
};

// Qt reports a sheet it cannot parse, and anything else it dislikes while
// polishing and painting, as a warning, which fails the test.
TEST_P(EachStyleSheet, PaintsEveryControlWithoutWarningsAndLeavesAccentShapesAlone) {
    const QColor accent = QColor::fromRgba(AccentColor("Transparent"));
    WidgetTree tree(accent);
    ASSERT_TRUE(ApplyApplicationStyle(GetParam()));

    tree.window.resize(480, 1200);
    tree.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree.window));
    EXPECT_FALSE(tree.window.grab().isNull());
    tree.dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree.dialog));
    EXPECT_FALSE(tree.dialog.grab().isNull());

    tree.menu->popup(tree.window.mapToGlobal(QPoint(10, 10)));
    EXPECT_FALSE(tree.menu->grab().isNull());
    tree.menu->hide();
    tree.combo->showPopup();
    tree.combo->hidePopup();
    QToolTip::showText(tree.window.mapToGlobal(QPoint(20, 20)), "Tip", &tree.window);
    QToolTip::hideText();

    for (QWidget* shape :
         std::initializer_list<QWidget*>{tree.paletteShape, tree.paletteFrame, tree.sheetShape}) {
        SCOPED_TRACE(shape->objectName().toStdString());
        const QImage image = shape->grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2).name(), accent.name());
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, EachStyleSheet, ::testing::ValuesIn(kResources),
                         [](const ::testing::TestParamInfo<QString>& info) {
                             return info.param.toStdString();
                         });

} // namespace
