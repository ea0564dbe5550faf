#pragma once
// The colours of the station's dark skin. Every widget of the user interface takes
// its colours from here so the look stays one piece.

#include <QColor>
#include <QFont>
#include <QString>

namespace kestovar::skin {

inline constexpr QRgb kBackground = 0x464646; // dialogs, panels, labels, menus
inline constexpr QRgb kFrame = 0x222222; // dialog frames, caption strips, pop-up items
inline constexpr QRgb kText = 0xFFFFFF; // text, menu text
inline constexpr QRgb kMenuSelection = 0x636363; // selected or checked menu item
inline constexpr QRgb kComboFace = 0x3A3A3A; // combo box face
inline constexpr QRgb kComboList = 0x2B2B2B; // combo box drop-down list
inline constexpr QRgb kPopupItemText = 0xFEFEFE; // resolution and rotation pop-up items
inline constexpr QRgb kMenuBarText = 0xCCCCCC; // menu-bar titles
inline constexpr QRgb kMenuBarPressed = 0x2E2E2E; // pressed menu-bar title
inline constexpr QRgb kDisabledButtonText = 0x787878;
inline constexpr QRgb kGreyedText = 0x999999; // greyed pop-up item, status bar text
inline constexpr QRgb kNoCameraText = 0x828282;
inline constexpr QRgb kAccent = 0x33B3D8; // lit and focused states
inline constexpr QRgb kKeyColour = 0x000000; // "transparent" black of the layered windows

inline QColor Colour(QRgb rgb)
{
    return QColor::fromRgb(rgb);
}

// A font as the skin names it: face and cell height in pixels (the height the
// skin's sizes are given in, which includes the font's internal leading), bold
// as weight 700 and otherwise 400.
QFont SkinFont(const QString& face, int cellHeight, bool bold = false);

} // namespace kestovar::skin

class QApplication;

namespace kestovar::skin {

// Gives the application the skin's dark palette and the Fusion style, so the
// parts that Qt draws itself (tool tips, text fields, list backgrounds) match.
void ApplySkinToApplication(QApplication& app);

} // namespace kestovar::skin
