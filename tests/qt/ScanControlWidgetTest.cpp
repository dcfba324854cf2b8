// The widget: the layout on real children, in pixels; its properties' change signals.
#include <gtest/gtest.h>
#include <QApplication>
#include <QMetaProperty>
#include <QSignalSpy>
#include <map>
#include <memory>

#include "control/ScanControl.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/ScanControlWidget.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

using test::Pump;

class ScanControlWidgetTest : public ::testing::Test {
  protected:
    ScanControlWidgetTest() : w(Ports{}) {}

    void ShowAt(int widthPx, int heightPx) {
        w.resize(widthPx, heightPx);
        w.show();
        Pump();
    }
    QWidget* Kid(const char* name) { return w.childWidget(QLatin1String(name)); }
    bool Shown(const char* name) { return Kid(name)->isVisibleTo(&w); }
    // Later in the parent's child list is nearer the front.
    int Stack(const char* name) { return w.children().indexOf(Kid(name)); }
    bool Is15TwipsPerPixel() { return TwipsPerPixelX(&w) == 15.0f && TwipsPerPixelY(&w) == 15.0f; }

    ScanControlWidget w;
};

TEST_F(ScanControlWidgetTest, ChildrenSitWhereTheLayoutPutsThem) {
    if (!Is15TwipsPerPixel()) GTEST_SKIP() << "screen is not at 96 dpi";
    ShowAt(400, 200);  // 6000 x 3000 twips
    EXPECT_FLOAT_EQ(w.control().Width(), 6000);
    EXPECT_FLOAT_EQ(w.control().Height(), 3000);

    const struct {
        const char* name;
        QRect rect;
    } expected[] = {
        {"Command1", {342, 0, 57, 17}}, {"Icon1", {371, 0, 23, 22}}, {"Icon6", {371, 48, 23, 22}},
        {"Image1", {0, 0, 332, 198}},   {"PB", {0, 190, 332, 9}},    {"Text1", {122, 90, 89, 19}},
    };
    for (const auto& e : expected) {
        ASSERT_NE(Kid(e.name), nullptr) << e.name;
        EXPECT_EQ(Kid(e.name)->geometry(), e.rect) << e.name;
    }
    for (const char* icon : {"Icon1", "Icon2", "Icon4", "Icon5", "Icon6", "Image1"}) {
        EXPECT_TRUE(Shown(icon)) << icon;
    }
    for (const char* hidden :
         {"Command1", "Command2", "Command4", "Command5", "Command6", "Text1", "Text2", "PB"}) {
        EXPECT_FALSE(Shown(hidden)) << hidden;
    }
    EXPECT_GT(Stack("Text1"), Stack("PB"));
    EXPECT_GT(Stack("PB"), Stack("Text2"));
    EXPECT_GT(Stack("Text2"), Stack("Image1"));
}

TEST_F(ScanControlWidgetTest, TooSmallAHostSizeIsRaisedToTheStylesMinimum) {
    if (!Is15TwipsPerPixel()) GTEST_SKIP() << "screen is not at 96 dpi";
    const struct {
        int style;
        QSize pixels;
        float twipsW, twipsH;
    } cases[] = {{0, {121, 73}, 1820, 1095}, {1, {171, 121}, 2565, 1820}};
    for (const auto& c : cases) {
        ScanControlWidget control{Ports{}};
        control.setButtonStyle(c.style);
        control.resize(67, 33);  // 1000 x 500 twips
        control.show();
        Pump();
        EXPECT_EQ(control.size(), c.pixels) << "style " << c.style;
        // The control keeps its own exact extent, not the pixels rounded back.
        EXPECT_FLOAT_EQ(control.control().Width(), c.twipsW);
        EXPECT_FLOAT_EQ(control.control().Height(), c.twipsH);
        EXPECT_EQ(control.sizeHint(), c.pixels);
    }
}

TEST(ScanControlWidgetSurface, APropertySignalsOnceWhenItsValueChanges) {
    test::TempDir dir;
    ScanControlWidget w{Ports{}};
    const QMetaObject* meta = w.metaObject();
    std::map<std::string, std::unique_ptr<QSignalSpy>> spies;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        ASSERT_TRUE(p.hasNotifySignal()) << p.name();
        spies[p.name()] = std::make_unique<QSignalSpy>(&w, p.notifySignal());
    }
    const struct {
        const char* name;
        QVariant value;
    } writes[] = {
        {"FullScreen", 1},   {"ButtonStyle", 1}, {"ShowModeButton", false},
        {"SaveAsPDF", true}, {"Quality", 80},    {"FilePath", QString::fromStdString(dir / "")},
        {"ControlMode", 1},
    };
    for (const auto& write : writes) {
        w.setProperty(write.name, write.value);
        w.setProperty(write.name, write.value);  // the same again: no news
        ASSERT_EQ(spies[write.name]->count(), 1) << write.name;
        EXPECT_EQ(spies[write.name]->at(0).at(0), w.property(write.name)) << write.name;
    }
    w.setProperty("Quality", 101);  // refused: the value stays
    EXPECT_EQ(spies["Quality"]->count(), 1);

    // A command changes what it stores: the text mode's file becomes CurrentName.
    w.StartScan();
    ASSERT_EQ(spies["CurrentName"]->count(), 1);
    EXPECT_EQ(spies["CurrentName"]->at(0).at(0).toString(), w.CurrentName());
    EXPECT_EQ(spies["ImageWidth"]->count(), 0);
}

}  // namespace
}  // namespace folioray
