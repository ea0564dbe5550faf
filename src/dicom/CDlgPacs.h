#pragma once
// "PACS" (Config menu): where the station sends its captures. The skinned dialog frame
// of the other settings dialogs, with the PACS's AE title, host and port, the station's
// own AE title, TLS with its certificate files, and "Send after each recording".
//
// Below, the modality worklist server (AE title, host, port), the modality asked for and
// whether only the procedures scheduled for this station are listed; its own "Test
// connection" asks the worklist server the same way, within 10 seconds.
//
// "Test connection" sends a C-ECHO with what the fields hold now (saved or not) and
// tells the outcome within 5 seconds either way: an echo still running then is left to
// finish unseen. "Apply" checks the fields, saves them and closes.

#include "dialogs/CMyDialog.h"
#include "dicom/DicomSettings.h"

#include <QPointer>

#include <functional>

class QCheckBox;
class QLineEdit;
class QTimer;

namespace kestovar {

class CFontStatic;
class CGdipButton;

class CDlgPacs : public CMyDialog {
    Q_OBJECT
public:
    CDlgPacs(const DicomSettings& settings, QWidget* parent = nullptr);

    // The fields as settings (the org root carried over); empty problem when valid.
    DicomSettings Chosen() const;
    QString Problem() const;

    void TestConnection();
    QString TestResult() const;
    void TestWorklist();
    QString WorklistTestResult() const;
    CGdipButton* WorklistTestButton() const { return worklist_.button; }
    bool TestRunning() const { return pacs_.running; }
    CGdipButton* TestButton() const { return pacs_.button; }
    CGdipButton* ApplyButton() const { return apply_; }

signals:
    void TestFinished(const QString& result);
    void WorklistTestFinished(const QString& result);

private:
    // One "Test connection": its button, the line that tells the outcome, the wait for
    // an answer, and the signal that reports it.
    struct ConnectionTest {
        CFontStatic* result = nullptr;
        CGdipButton* button = nullptr;
        QTimer* deadline = nullptr;
        void (CDlgPacs::*finished)(const QString&) = nullptr;
        int ticket = 0;
        bool running = false;
    };
    using Test = ConnectionTest CDlgPacs::*;

    void OnApply();
    // Asks on a thread of its own (`ask` gives the outcome's text) and shows the answer
    // unless `waitMs` pass first or another test of the same kind began meanwhile.
    void RunTest(Test which, const QString& asking, int waitMs, std::function<QString()> ask);
    void ShowTestResult(Test which, int ticket, const QString& text);
    void TellTestProblem(Test which, const QString& why);
    QString WorklistProblem() const;

    DicomSettings original_;
    QLineEdit* pacsAe_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* stationAe_;
    QCheckBox* tls_;
    QLineEdit* certificate_;
    QLineEdit* privateKey_;
    QLineEdit* trusted_;
    QCheckBox* sendAfter_;
    QLineEdit* worklistAe_;
    QLineEdit* worklistHost_;
    QLineEdit* worklistPort_;
    QLineEdit* modality_;
    QCheckBox* filterByStation_;
    ConnectionTest pacs_;
    ConnectionTest worklist_;
    CGdipButton* apply_;
};

} // namespace kestovar
