#include "framework/gui/about_panel.h"

#include "framework/gui/application.h"
#include "framework/gui/runtime.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace fw {

namespace {

constexpr double kNameScale = 1.4;
// Room in a title bar besides the title: its icon and buttons, each about two lines square.
constexpr int kTitleBarButtons = 4;

// Closing only hides the panel (it is not deleted later behind our back), so a close followed
// at once by another Show can never meet a panel that is about to go.
QPointer<QDialog>& thePanel() {
    static QPointer<QDialog> panel;
    return panel;
}

// "Version 1 (1.0.0.36)": the short version, then every number of the full one.
std::string versionLine(const Application::VersionData& version) {
    const std::string numbers = std::to_string(version.major) + "." +
                                std::to_string(version.minor) + "." + std::to_string(version.bug) +
                                "." + std::to_string(version.nonRelease);
    if (version.shortVersion.IsEmpty()) {
        return "Version " + numbers;
    }
    return "Version " + version.shortVersion.Bytes() + " (" + numbers + ")";
}

std::vector<std::string> panelLines() {
    std::vector<std::string> lines{ApplicationName()};
    if (const auto app = _GetAppObject()) {
        const Application::VersionData& version = app->Version();
        lines.push_back(versionLine(version));
        if (!version.longVersion.IsEmpty()) {
            lines.push_back(version.longVersion.Bytes());
        }
    }
    return lines;
}

QLabel* lineLabel(const std::string& line, bool isName, QWidget* parent) {
    auto* label = new QLabel(QString::fromStdString(line), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (isName) {
        QFont font = label->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * kNameScale);
        label->setFont(font);
    }
    return label;
}

// Window managers do not widen a window for its title, so the panel makes room for it itself:
// the title in a bold face, as title bars commonly set it, beside the bar's icon and buttons.
int titleBarWidth(const QWidget& panel) {
    QFont font = panel.font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(panel.windowTitle()) + kTitleBarButtons * 2 * metrics.height();
}

QDialog* buildPanel() {
    auto* panel = new QDialog(nullptr);
    panel->setObjectName(QStringLiteral("AboutPanel"));
    // Closing About must never end an application that runs without windows.
    panel->setAttribute(Qt::WA_QuitOnClose, false);
    panel->setModal(false);
    panel->setWindowTitle(QString::fromStdString("About " + ApplicationName()));
    auto* layout = new QVBoxLayout(panel);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    const std::vector<std::string> lines = panelLines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        layout->addWidget(lineLabel(lines[i], i == 0, panel));
    }
    const QMargins margins = layout->contentsMargins();
    layout->itemAt(0)->widget()->setMinimumWidth(titleBarWidth(*panel) - margins.left() -
                                                 margins.right());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, panel);
    QObject::connect(buttons, &QDialogButtonBox::rejected, panel, &QDialog::close);
    layout->addWidget(buttons);
    return panel;
}

} // namespace

void ShowAboutPanel() {
    QPointer<QDialog>& panel = thePanel();
    if (panel && !panel->isVisible()) {
        delete panel.data(); // a closed panel is built afresh, with the version data as it is now
    }
    if (!panel) {
        panel = buildPanel();
    }
    if (panel->isMinimized()) {
        panel->showNormal();
    } else {
        panel->show();
    }
    panel->raise();
    panel->activateWindow();
}

bool IsAboutPanelVisible() {
    const QPointer<QDialog>& panel = thePanel();
    return panel && panel->isVisible();
}

void CloseAboutPanel() {
    if (QPointer<QDialog>& panel = thePanel()) {
        panel->close();
    }
}

std::string AboutPanelTitle() {
    return IsAboutPanelVisible() ? thePanel()->windowTitle().toStdString() : std::string();
}

std::vector<std::string> AboutPanelLines() {
    std::vector<std::string> lines;
    if (IsAboutPanelVisible()) {
        for (const QLabel* label : thePanel()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            lines.push_back(label->text().toStdString());
        }
    }
    return lines;
}

} // namespace fw
