#include "app/ui/name_prompt.h"
#include "framework/gui/label.h"
#include "framework/gui/property_list.h"
#include "framework/gui/text_field.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"
#include "preferences/modern_preferences.h"
#include "preferences/prefs.h"
#include "tests/app/app_fixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>

#include <string>
#include <vector>

namespace tallybell::testing {
namespace {

const fw::String kPromptClass = "startup.startup";

// The prompt against a preferences store of the test's own, as start-up leaves it.
class NamePrompt : public AppTest {
protected:
    void TearDown() override {
        fw::CloseAllWindows(); // a prompt left open commits into this test's folder
        AppTest::TearDown();
    }

    void loadStore(const QByteArray& json) {
        writePrefs(json);
        ModernPreferences::Initialise(fw::Text("Tallybell"));
        ASSERT_TRUE(ModernPreferences::Preferences->Load());
        app->myName = ModernPreferences::Preferences->Operator_Lookup("alarmName").ToString();
    }

    static std::shared_ptr<class startup> openPrompt() {
        auto prompt = startup();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(fw::qtWindow(*prompt)));
        return prompt;
    }

    static QLineEdit* fieldOf(class startup& prompt) {
        return qobject_cast<QLineEdit*>(fw::Deref(prompt.myName()).qtWidget());
    }

    static bool promptIsOpen() { return fw::Window::_GetImplicitWindow(kPromptClass) != nullptr; }

    QJsonObject savedPrefs() const {
        QFile file(prefsPath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.errorString().toStdString();
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return doc.object();
    }

    // Replaces the field's text by typing over it.
    static void typeOver(QLineEdit* field, const QString& text) {
        field->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(field, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(field, text);
        }
    }
};

TEST_F(NamePrompt, TheCloseBoxCommitsAsReturnDoesEvenUnchangedOrEmpty) {
    const QByteArray handWritten =
        R"({ "alarmName" : "Ann", "port" : "40001", "mCastIP" : "239.1.2.4" })";
    loadStore(handWritten);
    auto prompt = openPrompt();
    fw::qtWindow(*prompt)->close();
    QFile file(prefsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_NE(file.readAll(), handWritten) << "an unchanged name is saved all the same";
    EXPECT_EQ(savedPrefs()["alarmName"].toString(), QString("Ann"));

    prompt = openPrompt();
    typeOver(fieldOf(*prompt), "Cy");
    fw::qtWindow(*prompt)->close();
    EXPECT_FALSE(promptIsOpen());
    EXPECT_EQ(app->myName, fw::String("Cy"));
    EXPECT_EQ(savedPrefs()["alarmName"].toString(), QString("Cy"));

    prompt = openPrompt();
    typeOver(fieldOf(*prompt), "");
    fw::qtWindow(*prompt)->close();
    EXPECT_EQ(app->myName, fw::String(""));
    EXPECT_EQ(savedPrefs()["alarmName"].toString(), QString(""));
    EXPECT_EQ(log.Count("Preferences saved"), 3u);
}

TEST_F(NamePrompt, ChangeNameWhileOpenKeepsTheEditKeypadEnterIsNoReturnAndReturnCloses) {
    loadStore(PrefsNamed("Ann"));
    EXPECT_TRUE(app->_FileChangeName_Action());
    auto first =
        std::static_pointer_cast<class startup>(fw::Window::_GetImplicitWindow(kPromptClass));
    ASSERT_TRUE(first);
    typeOver(fieldOf(*first), "Half-typ");

    EXPECT_TRUE(app->_FileChangeName_Action());
    EXPECT_EQ(startup(), first);
    EXPECT_EQ(fieldOf(*first)->text(), QString("Half-typ"));
    EXPECT_EQ(app->myName, fw::String("Ann")) << "nothing is committed before the close";

    QTest::keyClick(fieldOf(*first), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(startup().get(), first.get()) << "the keypad's Enter closed the prompt";
    EXPECT_EQ(fieldOf(*first)->text(), QString("Half-typ"));
    EXPECT_EQ(log.Count("Preferences saved"), 0u);

    QTest::keyClick(fieldOf(*first), Qt::Key_Return);
    EXPECT_FALSE(promptIsOpen());
    EXPECT_TRUE(app->_FileChangeName_Action());
    auto second = startup();
    EXPECT_NE(second, first);
    EXPECT_EQ(fieldOf(*second)->text(), QString("Half-typ"));
}

// A failed save tells the user once, keeps the new name for this run and writes nothing.
TEST_F(NamePrompt, ASaveWithNoFileResolvedFailsVisiblyAndKeepsTheNameInUse) {
    ModernPreferences::Initialise(fw::Text("Tallybell")); // never loaded: no file to write
    auto prompt = startup();
    QTest::keyClicks(fieldOf(*prompt), "Dee");
    QTest::keyClick(fieldOf(*prompt), Qt::Key_Return);
    EXPECT_FALSE(promptIsOpen());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Could not save preferences."});
    EXPECT_FALSE(log.Contains("Preferences saved"));
    EXPECT_EQ(app->myName, fw::String("Dee"));
    EXPECT_EQ(ModernPreferences::Preferences->Operator_Lookup("alarmName").ToString(),
              fw::String("Dee"));
    EXPECT_FALSE(QFile::exists(prefsPath()));
}

TEST_F(NamePrompt, AStoredSingleBlankIsANameAndShowsNoPrompt) {
    writePrefs(PrefsNamed(" "));
    open();
    EXPECT_FALSE(promptIsOpen());
    EXPECT_EQ(app->myName, fw::String(" "));
}

TEST_F(NamePrompt, TheWindowIsBuiltAsItsListsSay) {
    loadStore(PrefsNamed("Ann"));
    auto prompt = openPrompt();
    QMainWindow* shown = fw::qtWindow(*prompt);
    EXPECT_EQ(shown->windowTitle(), QString("Your Name"));
    EXPECT_EQ(shown->centralWidget()->size(), QSize(600, 160));
    EXPECT_EQ(shown->minimumSize(), shown->maximumSize()) << "not resizable";
    EXPECT_TRUE(shown->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(shown->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(shown->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(prompt->MenuBar()) << "it carries the application's menu bar, none of its own";

    auto* label = qobject_cast<QLabel*>(fw::Deref(prompt->Label1()).qtWidget());
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), QString("Enter Your Name..."));
    EXPECT_EQ(label->geometry(), QRect(20, 20, 132, 20));
    QLineEdit* field = fieldOf(*prompt);
    EXPECT_EQ(field->geometry(), QRect(20, 52, 560, 88));
    EXPECT_EQ(field->font().pixelSize(), 55) << "a point is drawn as a pixel";
    EXPECT_EQ(field->placeholderText(), QString("my name is"));
}

// The limit is what one acknowledgement carries: "ACK," and the name in UTF-8 in 65,507 bytes.
// From an empty field a name of exactly that fits and one byte more does not; a character that
// does not fit whole is left out whole.
TEST_F(NamePrompt, TheNameFieldTakesExactlyWhatOneAcknowledgementCarries) {
    loadStore(PrefsNamed(""));
    auto prompt = openPrompt();
    QLineEdit* field = fieldOf(*prompt);
    ASSERT_EQ(field->text(), QString());
    const std::size_t longest = std::size_t(kLargestPayload) - std::string(kAckPrefix).size();
    const QString faces = QString::fromUtf8("\U0001F600").repeated(int(longest / 4)); // 4 each
    const QString fits = faces + QString("abc").left(int(longest % 4));
    ASSERT_EQ(std::size_t(fits.toUtf8().size()), longest);

    field->insert(fits);
    EXPECT_EQ(field->text(), fits) << "a name of exactly the limit is cut";
    field->insert("d");
    EXPECT_EQ(field->text(), fits) << "one byte past the limit is taken";
    field->setSelection(int(faces.size()), 3);
    field->del();
    field->insert(QString::fromUtf8("\U0001F600")); // 4 bytes into room for 3
    EXPECT_EQ(field->text(), faces) << "a character was split or taken in part";

    fw::qtWindow(*prompt)->close();
    EXPECT_EQ(app->myName.Bytes(), faces.toStdString());
    EXPECT_EQ(savedPrefs()["alarmName"].toString(), faces);
}

// A stored name that can be sent comes back from the prompt exactly as it went in, whatever
// characters it is made of; one that cannot is cut between characters to what can.
TEST_F(NamePrompt, OpeningAndClosingThePromptLeavesASendableStoredNameAsItIs) {
    const std::size_t longest = std::size_t(kLargestPayload) - std::string(kAckPrefix).size();
    const std::string euros = QString(QChar(0x20AC)).repeated(int(longest / 3)).toStdString();
    const std::string sendable = euros + std::string(longest % 3, 'x'); // 21,834 euros and one x
    loadStore(PrefsNamed(sendable));
    auto prompt = openPrompt();
    fw::qtWindow(*prompt)->close();
    EXPECT_EQ(app->myName.Bytes(), sendable);
    EXPECT_EQ(savedPrefs()["alarmName"].toString().toStdString(), sendable);

    loadStore(PrefsNamed(sendable + "\xF0\x9F\x98\x80"));
    prompt = openPrompt();
    fw::qtWindow(*prompt)->close();
    EXPECT_EQ(app->myName.Bytes(), sendable);
}

// The entries' names, each followed by a blank.
std::string namesOf(const std::vector<fw::PropertyEntry>& entries) {
    std::string names;
    for (const auto& entry : entries) {
        names += entry.name + " ";
    }
    return names;
}

template <class V> V valueOf(const std::vector<fw::PropertyEntry>& entries, const char* name) {
    for (const auto& entry : entries) {
        if (entry.name == name) {
            return std::get<V>(entry.value);
        }
    }
    ADD_FAILURE() << name << " is missing";
    return V{};
}

TEST(NamePromptLists, TheWindowListHoldsTheWindowTableInOrder) {
    const auto entries = fw::DecodePropertyList(startupWindowProperties(), fw::WindowProperties());
    EXPECT_EQ(namesOf(entries),
              "Width Height MinimumWidth MinimumHeight MaximumWidth MaximumHeight Type Title "
              "HasCloseButton HasMaximizeButton HasMinimizeButton HasFullScreenButton Resizeable "
              "Composite MacProcID FullScreen DefaultLocation Visible HasBackgroundColor "
              "BackgroundColor MenuBarVisible ");
    EXPECT_EQ(valueOf<fw::Color>(entries, "BackgroundColor"), fw::Color(0xFFFFFF));
}

TEST(NamePromptLists, TheLabelListHoldsItsEntriesInItsOrder) {
    const auto entries = fw::DecodePropertyList(startupLabel1Properties(), fw::LabelProperties());
    EXPECT_EQ(namesOf(entries),
              "Name Index Left Top Width Height LockLeft LockTop LockRight LockBottom TabIndex "
              "TabPanelIndex TabStop AllowAutoDeactivate Enabled Tooltip Multiline Selectable "
              "TextAlignment TextColor Transparent Value Visible Bold Italic FontName Underline "
              "FontSize FontUnit DataSource DataField InitialParent ");
    EXPECT_EQ(valueOf<std::int64_t>(entries, "Index"), -2147483648LL);
    EXPECT_EQ(valueOf<float>(entries, "FontSize"), 0.0f);
    EXPECT_EQ(valueOf<fw::FontUnit>(entries, "FontUnit"), fw::FontUnit::Default);
}

TEST(NamePromptLists, TheFieldListHoldsItsEntriesInItsOrderWithASingleFontSize) {
    const fw::String list = startupMyNameProperties();
    const auto entries = fw::DecodePropertyList(list, fw::TextFieldProperties());
    EXPECT_EQ(
        namesOf(entries),
        "Name Index Left Top Width Height LockLeft LockTop LockRight LockBottom TabIndex "
        "TabPanelIndex TabStop AllowAutoDeactivate BackgroundColor HasBorder Enabled Format "
        "Tooltip Password TextColor Transparent AllowFocusRing Visible FontName FontSize FontUnit "
        "Bold Italic Underline Hint Value AllowTabs TextAlignment AllowSpellChecking "
        "MaximumCharactersAllowed ValidationMask ReadOnly DataSource DataField ");
    EXPECT_NE(list.Bytes().find(std::string("FontSize \x00\x00\x5c\x42", 13)), std::string::npos);
    EXPECT_NE(list.Bytes().find(std::string("FontUnit \x00", 10)), std::string::npos);
    EXPECT_EQ(valueOf<std::int64_t>(entries, "TabIndex"), 1);
}

} // namespace
} // namespace tallybell::testing
