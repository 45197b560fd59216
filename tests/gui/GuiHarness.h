#pragma once

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/messages/FileDialogs.h"
#include "app/messages/MessageBoxes.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/window/MainWindow.h"

namespace varo::test {

struct ShownMessage {
    MessageKind kind;
    QString caption;
    QString text;
};

// A real MainWindow writing into a temporary directory, with the file
// dialogs answered from a queue and the message boxes recorded instead of shown.
class GuiHarness {
  public:
    GuiHarness();
    ~GuiHarness();

    MainWindow& Window() { return *window_; }
    // Esc pressed in the window, made the active one first: its shortcuts
    // answer only there, and a window under Wine may lose the focus.
    void PressEscape();
    QString OutputDirectory() const { return output_.path(); }
    QString OutputFile(const QString& name) const { return output_.filePath(name); }
    // A path for the test's own input files, apart from the output directory.
    QString InputFile(const QString& name) const { return input_.filePath(name); }

    // Creates an item database of 40 columns holding `rows` among the input
    // files and puts its path into the window's path field; gives the path.
    QString UseItemDatabase(const std::vector<std::vector<std::optional<std::string>>>& rows);

    // The next dialog returns these paths; an empty list cancels it.
    void AnswerNextDialog(const QStringList& paths) { answers_.append(paths); }
    const QList<OpenFileRequest>& DialogRequests() const { return requests_; }
    // The address 校验发布目录…'s box offered each time it was shown.
    const QStringList& VerifySourcesOffered() const { return verifySourcesOffered_; }
    const QList<ShownMessage>& Messages() const { return messages_; }
    // Questions are answered Yes unless a test queued another answer.
    void AnswerNextQuestion(bool yes) { questionAnswers_.append(yes); }
    const QStringList& Questions() const { return questions_; }
    // Choices are answered with the last one offered unless a test queued
    // another answer (nothing: 取消).
    void AnswerNextChoice(std::optional<int> choice) { choiceAnswers_.append(choice); }
    const QStringList& Choices() const { return choices_; }

  private:
    QTemporaryDir output_;
    QTemporaryDir input_;
    SqliteConnection connection_;
    ListHitTestRecord hitTest_;
    std::unique_ptr<MainWindow> window_;
    QList<QStringList> answers_;
    QStringList verifySourcesOffered_;
    QList<OpenFileRequest> requests_;
    QList<ShownMessage> messages_;
    QList<bool> questionAnswers_;
    QStringList questions_;
    QList<std::optional<int>> choiceAnswers_;
    QStringList choices_;
};

// The bytes of a file, or a null array when it cannot be read.
QByteArray ReadBytes(const QString& path);

// Waits until every window's item-table load (DB一键计算, 载入数据库) is
// over and its result shown; a load that does not end fails the test.
void WaitForItemTable();

// Imports the files on the manifest page and waits until the import is
// over (it runs in the background); false when it did not end in time.
bool ImportAndWait(ManifestPage& page, const QStringList& files);
// Waits until an import started otherwise (a drop, the button) is over.
bool WaitForImport(ManifestPage& page);

}  // namespace varo::test
