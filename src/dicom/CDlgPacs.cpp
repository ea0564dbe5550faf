#include "dicom/CDlgPacs.h"

#include "dicom/DicomSender.h"
#include "dicom/WorklistQuery.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/SkinPalette.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QMetaObject>
#include <QRegularExpression>
#include <QTimer>

#include <thread>

namespace kestovar {

namespace {

const QSize kClient(460, 560);

QString FieldStyle()
{
    return QStringLiteral("QLineEdit { background: #3A3A3A; color: #FFFFFF; border: 1px solid #636363; padding: 2px; }"
                          "QLineEdit:disabled { color: #999999; }"
                          "QCheckBox { color: #FFFFFF; }");
}

} // namespace

CDlgPacs::CDlgPacs(const DicomSettings& settings, QWidget* parent)
    : CMyDialog(parent)
    , original_(settings)
    , pacsAe_(new QLineEdit(settings.pacsAeTitle))
    , host_(new QLineEdit(settings.pacsHost))
    , port_(new QLineEdit(QString::number(settings.pacsPort)))
    , stationAe_(new QLineEdit(settings.stationAeTitle))
    , tls_(new QCheckBox(QStringLiteral("Use TLS")))
    , certificate_(new QLineEdit(settings.tlsCertificate))
    , privateKey_(new QLineEdit(settings.tlsPrivateKey))
    , trusted_(new QLineEdit(settings.tlsTrustedCertificates))
    , sendAfter_(new QCheckBox(QStringLiteral("Send after each recording")))
    , worklistAe_(new QLineEdit(settings.worklistAeTitle))
    , worklistHost_(new QLineEdit(settings.worklistHost))
    , worklistPort_(new QLineEdit(QString::number(settings.worklistPort)))
    , modality_(new QLineEdit(settings.worklistModality))
    , filterByStation_(new QCheckBox(QStringLiteral("Only procedures scheduled for this station")))
    , apply_(new CGdipButton(QStringLiteral("button"), QStringLiteral("Apply"), this))
{
    SetTitle(QStringLiteral("PACS"));
    SetColours(skin::kText, skin::kFrame, skin::kBackground);
    SetClientSize(kClient);
    setStyleSheet(FieldStyle());

    auto* client = new QWidget(this);
    client->setGeometry(QRect(ClientOrigin(), kClient));
    auto* grid = new QGridLayout(client);
    grid->setContentsMargins(16, 12, 16, 12);
    grid->setVerticalSpacing(6);
    int row = 0;
    // A test's outcome line across the dialog, then its button at the right.
    auto addTest = [&](ConnectionTest& test, void (CDlgPacs::*finished)(const QString&), QHBoxLayout* buttons) {
        test.result = new CFontStatic(this);
        test.button = new CGdipButton(QStringLiteral("button"), QStringLiteral("Test connection"), this);
        test.deadline = new QTimer(this);
        test.deadline->setSingleShot(true);
        test.finished = finished;
        test.result->SetFont(QStringLiteral("Arial"), 14, skin::kText, CFontStatic::Left);
        test.result->SetBackground(skin::kBackground);
        test.result->setMinimumHeight(36);
        test.result->setWordWrap(true);
        grid->addWidget(test.result, row++, 0, 1, 2);
        test.button->setFixedSize(150, 36);
        buttons->addStretch();
        buttons->addWidget(test.button);
    };
    auto addRow = [&](const char* label, QWidget* field) {
        auto* text = new CFontStatic(QString::fromLatin1(label), client);
        text->SetFont(QStringLiteral("Arial"), 15, skin::kText, CFontStatic::Left);
        text->SetBackground(skin::kBackground);
        text->setMinimumHeight(20);
        grid->addWidget(text, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    pacsAe_->setMaxLength(16);
    stationAe_->setMaxLength(16);
    port_->setValidator(new QIntValidator(1, 65535, port_));
    addRow("PACS AE title", pacsAe_);
    addRow("PACS host", host_);
    addRow("PACS port", port_);
    addRow("Station AE title", stationAe_);
    tls_->setChecked(settings.tls);
    grid->addWidget(tls_, row++, 1);
    addRow("Certificate", certificate_);
    addRow("Private key", privateKey_);
    addRow("Trusted certificates", trusted_);
    sendAfter_->setChecked(settings.sendAfterRecording);
    grid->addWidget(sendAfter_, row++, 1);
    auto* pacsButtons = new QHBoxLayout;
    addTest(pacs_, &CDlgPacs::TestFinished, pacsButtons);
    grid->addLayout(pacsButtons, row++, 0, 1, 2);

    worklistAe_->setMaxLength(16);
    worklistPort_->setValidator(new QIntValidator(1, 65535, worklistPort_));
    modality_->setMaxLength(16);
    addRow("Worklist AE title", worklistAe_);
    addRow("Worklist host", worklistHost_);
    addRow("Worklist port", worklistPort_);
    addRow("Modality", modality_);
    filterByStation_->setChecked(settings.worklistFilterByStation);
    grid->addWidget(filterByStation_, row++, 1);
    auto* buttons = new QHBoxLayout;
    addTest(worklist_, &CDlgPacs::WorklistTestFinished, buttons);
    apply_->setFixedSize(110, 36);
    buttons->addWidget(apply_);
    grid->addLayout(buttons, row++, 0, 1, 2);

    auto enableTls = [this](bool on) {
        certificate_->setEnabled(on);
        privateKey_->setEnabled(on);
        trusted_->setEnabled(on);
    };
    enableTls(settings.tls);
    connect(tls_, &QCheckBox::toggled, this, enableTls);
    connect(pacs_.button, &QPushButton::clicked, this, &CDlgPacs::TestConnection);
    connect(apply_, &QPushButton::clicked, this, &CDlgPacs::OnApply);
    connect(pacs_.deadline, &QTimer::timeout, this, [this] {
        ShowTestResult(&CDlgPacs::pacs_, pacs_.ticket,
            QStringLiteral("No answer from the PACS within 5 seconds. Check the host and port, and "
                           "that the PACS is running."));
    });
    connect(worklist_.button, &QPushButton::clicked, this, &CDlgPacs::TestWorklist);
    connect(worklist_.deadline, &QTimer::timeout, this, [this] {
        ShowTestResult(&CDlgPacs::worklist_, worklist_.ticket,
            QStringLiteral("No answer from the worklist server within %1 seconds. Check the host and port, and that "
                           "the server is running.")
                .arg(kWorklistTimeoutSeconds));
    });
    apply_->setDefault(true);
}

DicomSettings CDlgPacs::Chosen() const
{
    DicomSettings s = original_;
    s.pacsAeTitle = pacsAe_->text().trimmed();
    s.pacsHost = host_->text().trimmed();
    s.pacsPort = port_->text().toInt();
    s.stationAeTitle = stationAe_->text().trimmed();
    s.tls = tls_->isChecked();
    s.tlsCertificate = certificate_->text().trimmed();
    s.tlsPrivateKey = privateKey_->text().trimmed();
    s.tlsTrustedCertificates = trusted_->text().trimmed();
    s.sendAfterRecording = sendAfter_->isChecked();
    s.worklistAeTitle = worklistAe_->text().trimmed();
    s.worklistHost = worklistHost_->text().trimmed();
    s.worklistPort = worklistPort_->text().toInt();
    s.worklistModality = modality_->text().trimmed().toUpper();
    s.worklistFilterByStation = filterByStation_->isChecked();
    return s;
}

QString CDlgPacs::Problem() const
{
    // A station may use the worklist without a PACS, or a PACS without a worklist.
    const DicomSettings s = Chosen();
    const bool pacs = !s.pacsHost.isEmpty() || s.worklistHost.isEmpty();
    if (pacs) {
        if (QString why = CheckAeTitle(s.pacsAeTitle); !why.isEmpty())
            return QStringLiteral("PACS AE title: ") + why;
    }
    if (QString why = CheckAeTitle(s.stationAeTitle); !why.isEmpty())
        return QStringLiteral("Station AE title: ") + why;
    if (pacs) {
        if (s.pacsHost.isEmpty())
            return QStringLiteral("Enter the PACS's host name or address.");
        if (s.pacsPort < 1 || s.pacsPort > 65535)
            return QStringLiteral("The port is a number from 1 to 65535.");
    }
    if (s.tls && s.tlsTrustedCertificates.isEmpty())
        return QStringLiteral("With TLS, name the file of certificates to trust for the PACS.");
    return WorklistProblem();
}

QString CDlgPacs::WorklistProblem() const
{
    // The worklist is optional: its fields are checked once a host is given.
    const DicomSettings s = Chosen();
    if (s.worklistHost.isEmpty())
        return {};
    if (QString why = CheckAeTitle(s.worklistAeTitle); !why.isEmpty())
        return QStringLiteral("Worklist AE title: ") + why;
    if (s.worklistPort < 1 || s.worklistPort > 65535)
        return QStringLiteral("The worklist port is a number from 1 to 65535.");
    static const QRegularExpression code(QStringLiteral("^[A-Z0-9_]{1,16}$"));
    if (!code.match(s.worklistModality).hasMatch())
        return QStringLiteral("The modality is a DICOM modality code such as ES (endoscopy).");
    return {};
}

void CDlgPacs::TestWorklist()
{
    const DicomSettings chosen = Chosen();
    QString why = CheckAeTitle(chosen.stationAeTitle);
    if (!why.isEmpty())
        why = QStringLiteral("Station AE title: ") + why;
    else
        why = WorklistProblem();
    if (why.isEmpty() && chosen.worklistHost.isEmpty())
        why = QStringLiteral("Enter the worklist server's host name or address.");
    if (!why.isEmpty()) {
        TellTestProblem(&CDlgPacs::worklist_, why);
        return;
    }
    RunTest(&CDlgPacs::worklist_, QStringLiteral("Asking the worklist server..."), kWorklistTimeoutSeconds * 1000,
        [s = chosen] {
            const QString problem = EchoWorklist(s, kWorklistTimeoutSeconds - 1);
            return problem.isEmpty() ? QStringLiteral("The worklist server answered: the connection works.") : problem;
        });
}

QString CDlgPacs::WorklistTestResult() const
{
    return worklist_.result->text();
}

void CDlgPacs::TestConnection()
{
    if (const QString why = Problem(); !why.isEmpty()) {
        TellTestProblem(&CDlgPacs::pacs_, why);
        return;
    }
    RunTest(&CDlgPacs::pacs_, QStringLiteral("Asking the PACS..."), 5000, [s = Chosen()] {
        const SendOutcome o = EchoPacs(s, 4);
        return o.ok() ? QStringLiteral("The PACS answered: the connection works.") : QString::fromStdString(o.message);
    });
}

QString CDlgPacs::TestResult() const
{
    return pacs_.result->text();
}

void CDlgPacs::RunTest(Test which, const QString& asking, int waitMs, std::function<QString()> ask)
{
    ConnectionTest& test = this->*which;
    const int ticket = ++test.ticket;
    test.running = true;
    test.button->setEnabled(false);
    test.result->setText(asking);
    test.deadline->start(waitMs);
    QPointer<CDlgPacs> self(this);
    // The question runs on its own thread; its answer is shown only if this dialog and
    // this test are still current.
    std::thread([self, which, ticket, ask = std::move(ask)] {
        const QString text = ask();
        if (self)
            QMetaObject::invokeMethod(self, [self, which, ticket, text] {
                if (self)
                    self->ShowTestResult(which, ticket, text);
            }, Qt::QueuedConnection);
    }).detach();
}

void CDlgPacs::ShowTestResult(Test which, int ticket, const QString& text)
{
    ConnectionTest& test = this->*which;
    if (ticket != test.ticket || !test.running)
        return;
    test.running = false;
    test.deadline->stop();
    test.button->setEnabled(true);
    test.result->setText(text);
    emit(this->*test.finished)(text);
}

void CDlgPacs::TellTestProblem(Test which, const QString& why)
{
    ConnectionTest& test = this->*which;
    test.result->setText(why);
    emit(this->*test.finished)(why);
}

void CDlgPacs::OnApply()
{
    if (const QString why = Problem(); !why.isEmpty()) {
        pacs_.result->setText(why);
        return;
    }
    accept();
}

} // namespace kestovar
