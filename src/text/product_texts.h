// The texts that more than one place shows, each written once: the product's title (window
// title, caption line, tray tooltip, About box, file properties, installer), the maker's
// name (file properties, copyright line, installer), the caption of the program's notices
// in the popup, and the sign-in button's caption (the dialog template's and the one the
// dialog puts back after the signed-in view). Plain #defines of UTF-8 literals first,
// because the resource compiler reads this file too, and CMake reads the title and the
// maker from these lines for the installer; the code takes the wide forms.
#pragma once

#define TARN_PRODUCT_TITLE "禾岚网站监控"
#define TARN_COMPANY_NAME "禾岚软件"
#define TARN_NOTICE_CAPTION "禾岚提示"
#define TARN_SIGN_IN_CAPTION "登录"

#ifndef RC_INVOKED
inline constexpr wchar_t kProductTitle[] = L"" TARN_PRODUCT_TITLE;
inline constexpr wchar_t kNoticeCaption[] = L"" TARN_NOTICE_CAPTION;
inline constexpr wchar_t kSignInCaption[] = L"" TARN_SIGN_IN_CAPTION;
#endif
