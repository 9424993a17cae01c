// The colours of the program's flat skin and the colour sets of its owner-drawn buttons.
#pragma once

#include <windows.h>

inline constexpr COLORREF kMainBackground = RGB(15, 146, 214);  // main window surface
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kDisabledButtonText = RGB(180, 180, 180);
inline constexpr COLORREF kStatusLineBackground = RGB(255, 51, 0);  // sign-in notices
inline constexpr COLORREF kSignedInBackground = RGB(70, 70, 70);    // sign-in "signed in" text

// Faces of an owner-drawn button by state, its one-pixel frame and its caption.
struct ButtonColors {
  COLORREF normal;
  COLORREF hover;
  COLORREF pressed;
  COLORREF frame;
  COLORREF text;
};

// Start/Stop, the sign-in buttons and the popup's buttons.
inline constexpr ButtonColors kDefaultButtonColors{RGB(51, 153, 255), RGB(5, 107, 181), RGB(133, 133, 133),
                                                   kWhite, kWhite};
// The main window's "×": flat on the blue surface, red under the mouse.
inline constexpr ButtonColors kCloseButtonColors{kMainBackground, RGB(218, 36, 37), RGB(150, 17, 0),
                                                 kMainBackground, kWhite};
// The main window's other caption buttons ("－", "∴", "≒").
inline constexpr ButtonColors kCaptionButtonColors{kMainBackground, RGB(33, 179, 255), RGB(8, 88, 129),
                                                   kMainBackground, kWhite};
// The main window's "清空日志".
inline constexpr ButtonColors kClearLogButtonColors{kMainBackground, RGB(33, 179, 255), RGB(33, 179, 255),
                                                    kMainBackground, kWhite};
