#pragma once

/// Status colours, written as blue-green-red numbers as the station shows them: light grey
/// for idle, yellow for busy or pending (and input fields), green for active or connected,
/// red for error, orange for a link that is up but not working as it should (an APRS-IS
/// log-on the server did not verify), cyan for displays and lists.
namespace station::colours {
inline constexpr unsigned LightGrey = 0xEFEFEF;
inline constexpr unsigned Grey = LightGrey;
inline constexpr unsigned Yellow = 0x00FFFF;
inline constexpr unsigned Green = 0x00FF00;
inline constexpr unsigned Red = 0x0000FF;
inline constexpr unsigned Orange = 0x0080FF;
inline constexpr unsigned Cyan = 0xFFFF00;
inline constexpr unsigned White = 0xFFFFFF;
} // namespace station::colours
