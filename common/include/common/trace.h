// Logging through Kuvotrace: TraceInfo writes at level 2, TraceError at level 4.
//
//   kuvo::TraceInfo(L"CModifyAdapterInfo::SetAdapterInfo", L"adapter %s", name.c_str());
//
// The format has Microsoft's wide-printf meaning on every system: %s takes a wide string, %S a
// narrow one. Silent when Kuvotrace is missing or not initialised.
#pragma once

namespace kuvo {

constexpr int kTraceLevelInfo = 2;
constexpr int kTraceLevelError = 4;

void TraceInfo(const wchar_t* function, const wchar_t* format, ...);
void TraceError(const wchar_t* function, const wchar_t* format, ...);

}  // namespace kuvo
