#pragma once
// KISS framing and AX.25 UI frames <-> the packet text form
//   SOURCE>DESTINATION,DIGI1,DIGI2:INFO
// Pure functions over bytes: no sockets, no dialogs. Sending a frame and showing a
// validation message are the caller's business (the link layer's sendKissFrame).

#include <QByteArray>
#include <QString>

#include <optional>

namespace packet {

/// KISS special bytes.
inline constexpr char kFend = '\xC0';  ///< frame end
inline constexpr char kFesc = '\xDB';  ///< frame escape
inline constexpr char kTfend = '\xDC'; ///< escaped FEND (after FESC)
inline constexpr char kTfesc = '\xDD'; ///< escaped FESC (after FESC)

/// Outcome of Kiss::encode: exactly one of `frame` and `message` is non-empty.
struct KissEncodeResult {
    /// The complete frame C0 00 ... C0, byte-stuffed between the two FENDs; no FCS
    /// (the KISS peer adds it). Empty when a validation failed.
    QByteArray frame;
    /// The validation message to show (critical icon, no title); empty on success.
    QString message;

    bool ok() const { return message.isEmpty(); }
};

/// A received frame that names this station as its next digipeater. The fields are in the
/// form Kiss::encode takes: calls with "-SSID", the path without a leading "," (entries
/// that were repeated, including our own, carry "*"), the information without ":".
struct DigipeatRequest {
    QByteArray destination;
    QByteArray source;
    QByteArray path;
    QByteArray info;

    bool operator==(const DigipeatRequest&) const = default;
};

struct KissDecodeResult {
    /// Packet text SOURCE>DEST[,PATH]:INFO; empty when the frame is not a UI frame of the
    /// expected shape. INFO holds the frame's bytes unchanged (any value 0..255, CR and
    /// LF included): callers that write it as a line must deal with those.
    QByteArray text;
    /// Set when the own-callsign substitution marked a path entry as repeated by us. The
    /// caller transmits it (Kiss::encode) only when HF digipeating is switched on.
    std::optional<DigipeatRequest> digipeat;
};

class Kiss {
public:
    /// Builds the KISS frame (command byte 00: data, port 0) of an AX.25 UI frame, PID F0.
    /// `destination`, `source`: call of up to 6 characters, optionally "-" and SSID 0..15.
    /// `path`: comma-separated digipeaters (at most 8) or empty; an entry containing "*"
    /// loses its last character and gets its H bit set. `info`: the information field,
    /// any bytes, without a leading ":". Validations run in order and the first failure is
    /// returned as its message with no frame. The arguments are never modified.
    static KissEncodeResult encode(const QByteArray& destination, const QByteArray& source,
                                   const QByteArray& path, const QByteArray& info);

    /// Parses one received frame: the bytes after the KISS command byte, up to but not
    /// including the closing FEND, still byte-stuffed (as KissDeframer returns them).
    /// After unstuffing, the first 03 from byte 15 on (counting from 1) must stand at
    /// 15 + 7k and the first F0 from byte 16 on at 16 + 7k, k = 0..8 (k digipeaters, taken
    /// from the 03); the information is every byte after the one that follows the 03.
    /// Call characters are halved rounding half to even; an SSID is the 4 SSID bits of its
    /// byte (0..15, whatever the C/H, reserved and extension bits hold); SSID 0 shows no
    /// suffix.
    /// Only the last repeated path entry keeps its "*" in the text.
    /// `ownCall` is the station's callsign with "-SSID" if any; when it is the next unused
    /// entry of the path it is marked repeated in the text and a DigipeatRequest is
    /// returned. An empty `ownCall` never matches.
    static KissDecodeResult decode(const QByteArray& frame, const QByteArray& ownCall);

    /// Undoes KISS byte stuffing in place: DB DC -> C0, DB DD -> DB; DB followed by any
    /// other byte drops both; a DB as the last byte is dropped.
    static void unescape(QByteArray& frame);

    /// Own-callsign digipeat step on a decoded path. `path` is the decoder's path text
    /// with its leading "," (",WIDE1*,NOCALL,WIDE2-1"). The first entry equal to `alias`
    /// (optionally followed by "*") is replaced by `ownCall` + "*" and `repeatCount` is
    /// raised by one, provided that entry is not already marked "*" and it is either the
    /// first entry or the entry before it is marked "*" (it is the next unused hop).
    /// Otherwise nothing changes. Entries are matched whole: NOCALL does not match
    /// NOCALL-5. An empty alias or path never matches.
    static void substituteDigipeaterAlias(QByteArray& path, int& repeatCount, const QByteArray& alias,
                                          const QByteArray& ownCall);
};

} // namespace packet
