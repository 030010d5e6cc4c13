#include "framework/gui/label.h"
#include "framework/gui/property_list.h"
#include "framework/gui/text_field.h"
#include "framework/gui/window.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

class TextControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>("TextHost.TextHost");
        window->Constructor();
        field = window->__New<TextField>();
        window->_AddControl("Field1", field);
        label = window->__New<Label>();
        window->_AddControl("Label1", label);
        field->BindKeyDown([this](TextField&, const String& key) {
            keys.push_back(key.Bytes());
            return consume;
        });
        field->BindTextChange(
            [this](TextField& changed) { changes.push_back(changed.Text().Bytes()); });
        window->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(qtWindow(*window)));
        edit = qobject_cast<QLineEdit*>(field->qtWidget());
        ASSERT_TRUE(edit);
    }
    void TearDown() override { CloseAllWindows(); }

    std::shared_ptr<Window> window;
    std::shared_ptr<TextField> field;
    std::shared_ptr<Label> label;
    QLineEdit* edit = nullptr;
    bool consume = false;
    std::vector<std::string> keys;
    std::vector<std::string> changes;
};

TEST_F(TextControlsTest, KeyDownSeesEveryKeyFirstAndReturnIsACarriageReturn) {
    QTest::keyClicks(edit, "a,b");
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Shift); // a modifier alone types nothing
    EXPECT_EQ(keys, (std::vector<std::string>{"a", ",", "b", "\r", "\x1c", "\b"}));
    EXPECT_EQ(field->Text(), String("ab")) << "keys not consumed are ordinary editing";
    EXPECT_EQ(changes, (std::vector<std::string>{"a", "a,", "a,b", "ab"}));
}

TEST_F(TextControlsTest, TabTypesATabOnlyWhenAllowedAndAConsumedKeyNeverReachesTheField) {
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(field->Text(), String(""));
    field->AllowTabs(true);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(field->Text(), String("\t"));
    consume = true;
    QTest::keyClicks(edit, "xyz");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(keys, (std::vector<std::string>{"\t", "\t", "x", "y", "z", "\t"}));
    EXPECT_EQ(field->Text(), String("\t"));
    EXPECT_EQ(changes, std::vector<std::string>{"\t"});
}

TEST_F(TextControlsTest, TextIsReadAndWrittenWithoutLimitAndOnlyARealChangeIsReported) {
    field->Text("Ann");
    EXPECT_EQ(edit->text(), QString("Ann"));
    field->Text("Ann");
    edit->setText("Bob");
    EXPECT_EQ(field->Text(), String("Bob"));
    EXPECT_EQ(changes, (std::vector<std::string>{"Ann", "Bob"}));

    const std::string longText(40000, 'n'); // beyond Qt's own default of 32767
    field->Text(longText);
    EXPECT_EQ(field->Text().Size(), longText.size());
    field->Text("");
    field->MaximumCharactersAllowed(3);
    QTest::keyClicks(edit, "abcdef");
    EXPECT_EQ(field->Text(), String("abc"));
}

// A byte limit takes out what an edit brings past it, from where the edit went in and in whole
// characters; what stood before stays.
TEST_F(TextControlsTest, AByteLimitCutsOnlyWhatAnEditBringsAndNeverSplitsACharacter) {
    field->MaximumBytesAllowed(8);
    field->Text("ab");
    edit->setCursorPosition(1);
    edit->insert(QString::fromUtf8("\u00e9\U0001F600xyz")); // 2 + 4 + 3 bytes into 2
    EXPECT_EQ(field->Text(), String("a\u00e9\U0001F600b")) << "only whole characters fit";
    EXPECT_EQ(edit->cursorPosition(), 4);
    QTest::keyClicks(edit, "q");
    EXPECT_EQ(field->Text().Size(), 8u);
    field->MaximumBytesAllowed(0);
    QTest::keyClicks(edit, "q");
    EXPECT_EQ(field->Text().Size(), 9u) << "0: no limit";
}

TEST_F(TextControlsTest, TheFieldsPropertyListGivesItsLook) {
    _SetProperties(field, PropertyListBuilder()
                              .AddInt64("Left", 20)
                              .AddInt64("Top", 52)
                              .AddInt64("Width", 560)
                              .AddInt64("Height", 88)
                              .AddColor("BackgroundColor", Color(0x00FF00))
                              .AddBoolean("HasBorder", false)
                              .AddColor("TextColor", Color(0x0000FF))
                              .AddString("FontName", "System")
                              .AddSingle("FontSize", 55)
                              .AddFontUnit("FontUnit", FontUnit::Default)
                              .AddBoolean("Bold", true)
                              .AddString("Hint", "my name is")
                              .AddString("Value", "Ann")
                              .AddInt64("TextAlignment", TextControl::AlignRight)
                              .AddBoolean("Password", true)
                              .AddBoolean("ReadOnly", true)
                              .AddInt64("MaximumCharactersAllowed", 0)
                              .Build());
    EXPECT_EQ(edit->geometry(), QRect(20, 52, 560, 88));
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(0, 255, 0));
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_FALSE(edit->hasFrame());
    EXPECT_EQ(edit->font().pixelSize(), 55);
    EXPECT_TRUE(edit->font().bold());
    EXPECT_EQ(edit->placeholderText(), QString("my name is"));
    EXPECT_EQ(edit->text(), QString("Ann"));
    EXPECT_TRUE(edit->alignment() & Qt::AlignRight);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(changes, std::vector<std::string>{"Ann"});
}

TEST_F(TextControlsTest, ALabelShowsItsValueAsPlainText) {
    _SetProperties(label, PropertyListBuilder()
                              .AddInt64("Left", 20)
                              .AddInt64("Top", 20)
                              .AddInt64("Width", 132)
                              .AddInt64("Height", 20)
                              .AddString("Value", "<b>Enter</b>")
                              .AddBoolean("Multiline", true)
                              .AddBoolean("Selectable", false)
                              .AddSingle("FontSize", 0)
                              .Build());
    auto* shown = qobject_cast<QLabel*>(label->qtWidget());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->geometry(), QRect(20, 20, 132, 20));
    EXPECT_EQ(shown->text(), QString("<b>Enter</b>"));
    EXPECT_EQ(shown->textFormat(), Qt::PlainText);
    EXPECT_TRUE(shown->wordWrap());
    EXPECT_EQ(shown->textInteractionFlags(), Qt::NoTextInteraction);
    EXPECT_EQ(shown->font().pointSizeF(), QApplication::font().pointSizeF());
}

} // namespace
} // namespace fw
