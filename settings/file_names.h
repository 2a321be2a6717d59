#pragma once

/// Names of the station's settings files, relative to the station folder.
namespace settings::files {
inline constexpr const char* MyCall = "skylark_mycall.txt";
inline constexpr const char* MyCallAprsIs = "skylark_mycall_aprsis.txt";
inline constexpr const char* MyCallHf = "skylark_mycall_hf.txt";
inline constexpr const char* GroupCall = "skylark_group_call.txt";
inline constexpr const char* GpsBeacon = "skylark_gps_beacon.txt";
inline constexpr const char* PskFreq = "skylark_psk_freq.txt";
inline constexpr const char* RemoteCall = "skylark_remote_control_callsign.txt";
inline constexpr const char* RemoteTxOn = "skylark_remote_tx_on.txt";
inline constexpr const char* RemoteTxOff = "skylark_remote_tx_off.txt";
inline constexpr const char* TncPort = "skylark_tnc_comm_port.txt";
inline constexpr const char* GpsPort = "skylark_tnc_gps_port.txt";
inline constexpr const char* Config1 = "skylark_config1.txt";
inline constexpr const char* Passcode = "skylark_passcode.txt";
inline constexpr const char* BeaconText = "skylark_btext.txt";
inline constexpr const char* SendTo = "skylark_sendto.txt";
inline constexpr const char* AprsServer = "skylark_aprs_server.txt";
inline constexpr const char* Config2 = "skylark_config2.txt";
inline constexpr const char* Help1 = "skylark_help1.txt";
inline constexpr const char* Help2 = "skylark_help2.txt";
/// PTT method and GPS source (key=value lines).
inline constexpr const char* Devices = "skylark_devices.txt";
} // namespace settings::files
