// Fixed texts and addresses of the product.
#pragma once

inline constexpr wchar_t kMainWindowCaption[] = L"题眼 V1.0—客服QQ:800012345";
inline constexpr wchar_t kSupportLabelText[] = L"不会用？？点此联系客服QQ:800012345";
inline constexpr wchar_t kInviteLabelText[] = L"点此加入官方群:165230918";
// The invitation page of the official user community, opened by 标签4.
inline constexpr char kInviteAddress[] = "https://tiyan.example.com/invite";
