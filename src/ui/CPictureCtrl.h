#pragma once
// A picture stretched over the whole control: a skin image or a picture file.

#include "ui/CGdiPlusBitmapResource.h"

#include <QWidget>

namespace kestovar {

class CPictureCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CPictureCtrl(QWidget* parent = nullptr);

    // Each replaces the picture and repaints; false leaves the control empty.
    bool LoadFromFile(const QString& path);
    bool LoadFromResource(const QString& role);
    bool IsLoaded() const { return image_.IsLoaded(); }
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CGdiPlusBitmapResource image_;
};

} // namespace kestovar
