// The branding texts of the installation: the product's display name (also the window
// title), the publisher and the vendor's web address. Not translated.
#pragma once

namespace zent {

inline constexpr const char* kProductDisplayName = "Kestra餐饮管理系统";
inline constexpr const char* kPublisherName = "ZENT";
inline constexpr const char* kVendorWebAddress = "https://www.example.com/";

}  // namespace zent
