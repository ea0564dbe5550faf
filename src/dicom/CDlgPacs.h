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
    CGdipButton* WorklistTestButton() const { return testWorklist_; }
    bool TestRunning() const { return testRunning_; }
    CGdipButton* TestButton() const { return test_; }
    CGdipButton* ApplyButton() const { return apply_; }

signals:
    void TestFinished(const QString& result);
    void WorklistTestFinished(const QString& result);

private:
    void OnApply();
    void ShowResult(int ticket, const QString& text);
    void ShowWorklistResult(int ticket, const QString& text);
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
    CFontStatic* worklistResult_;
    CGdipButton* testWorklist_;
    QTimer* worklistDeadline_;
    int worklistTicket_ = 0;
    bool worklistTestRunning_ = false;
    CFontStatic* result_;
    CGdipButton* test_;
    CGdipButton* apply_;
    QTimer* deadline_;
    int ticket_ = 0;
    bool testRunning_ = false;
};

} // namespace kestovar
