#include "ui/SkinPalette.h"

#include <cmath>

namespace kestovar::skin {

QFont SkinFont(const QString& face, int cellHeight, bool bold)
{
    QFont font(face);
    // A cell height counts the internal leading as well; for Arial (and the
    // metric-compatible Liberation Sans) the em is the cell height / 1.15.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(cellHeight / 1.15))));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace kestovar::skin

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace kestovar::skin {

void ApplySkinToApplication(QApplication& app)
{
    if (QStyle* fusion = QStyleFactory::create("Fusion"))
        app.setStyle(fusion);
    QPalette pal;
    pal.setColor(QPalette::Window, Colour(kBackground));
    pal.setColor(QPalette::WindowText, Colour(kText));
    pal.setColor(QPalette::Base, Colour(kComboList));
    pal.setColor(QPalette::AlternateBase, Colour(kComboFace));
    pal.setColor(QPalette::Text, Colour(kText));
    pal.setColor(QPalette::Button, Colour(kComboFace));
    pal.setColor(QPalette::ButtonText, Colour(kText));
    pal.setColor(QPalette::Highlight, Colour(kMenuSelection));
    pal.setColor(QPalette::HighlightedText, Colour(kText));
    pal.setColor(QPalette::ToolTipBase, Colour(kFrame));
    pal.setColor(QPalette::ToolTipText, Colour(kText));
    pal.setColor(QPalette::PlaceholderText, Colour(kGreyedText));
    pal.setColor(QPalette::Disabled, QPalette::Text, Colour(kDisabledButtonText));
    pal.setColor(QPalette::Disabled, QPalette::WindowText, Colour(kDisabledButtonText));
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, Colour(kDisabledButtonText));
    app.setPalette(pal);
    app.setFont(SkinFont("Arial", 15));
}

} // namespace kestovar::skin
