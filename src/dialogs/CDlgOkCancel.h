#pragma once
// The two-button question ("Yes" / "No"). Yes accepts; No, Escape and the close
// button reject.

#include "dialogs/CMyDialog.h"

namespace kestovar {

class CFontStatic;
class CGdipButton;

class CDlgOkCancel : public CMyDialog {
    Q_OBJECT
public:
    explicit CDlgOkCancel(QWidget* parent = nullptr);
    CDlgOkCancel(const QString& message, QWidget* parent = nullptr);

    void SetMessage(const QString& message);
    QString Message() const;

    CGdipButton* YesButton() const { return yes_; }
    CGdipButton* NoButton() const { return no_; }
    CFontStatic* MessageLabel() const { return label_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Relayout();

    CFontStatic* label_;
    CGdipButton* yes_;
    CGdipButton* no_;
};

} // namespace kestovar
