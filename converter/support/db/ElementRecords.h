// Element records and the requests of the element walk, on the process-wide session.
//
// The session: PdmDb_CreateSession allocates the process's one DbSession (replacing
// any earlier one) and the drawing open opens it; PdmDb_CloseDrawing closes and frees
// it. Every request below is dropped when there is no session.
//
// Records (140 bytes, little-endian, sent whole; bytes beyond a kind's layout are 0)
// begin with the signed 16-bit kind code: the negated kind when `flags` has bit 0x8000
// set (kind 2 becomes 0xFFFE), else the kind. The fields follow in argument order with
// no gaps: int16 fields take 2 bytes, doubles 8 (the protocol's "two words, low word
// first"). In the layouts with four int16 fields these sit at 2, 4, 6, 8 and the first
// double at 10; a pair of int16 fields after three doubles sits at 34 and 36.
//
// Kind 13: [2] the int16 field, [4..19] the first text NUL-terminated (at most 15
// bytes), [20..139] the second text NUL-terminated (at most 119 bytes); longer texts are
// cut on a character boundary.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "support/db/DbCommands.h"
#include "support/db/DbMessage.h"

template <std::size_t N>
using Shorts = std::array<std::int16_t, N>;
template <std::size_t N>
using Doubles = std::array<double, N>;

// ---- Pure builders -----------------------------------------------------------------
[[nodiscard]] ElementRecord BuildElementRec1(std::int16_t flags, const Shorts<3>& h,
                                             const Doubles<2>& d);
[[nodiscard]] ElementRecord BuildElementRec2(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<7>& d);
[[nodiscard]] ElementRecord BuildElementRec3(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<9>& d);
[[nodiscard]] ElementRecord BuildElementRec4(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<6>& d);
[[nodiscard]] ElementRecord BuildElementRec5(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<3>& d, const Shorts<2>& h2,
                                             const Doubles<3>& d2);
[[nodiscard]] ElementRecord BuildElementRec6(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<3>& d, const Shorts<2>& h2);
[[nodiscard]] ElementRecord BuildElementRec7(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<6>& d);
[[nodiscard]] ElementRecord BuildElementRec8(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<4>& d);
[[nodiscard]] ElementRecord BuildElementRec9(std::int16_t flags, const Shorts<4>& h,
                                             const Doubles<3>& d);
[[nodiscard]] ElementRecord BuildElementRec10(std::int16_t flags, const Shorts<4>& h,
                                              const Doubles<3>& d, const Shorts<2>& h2,
                                              const Doubles<1>& d2);
[[nodiscard]] ElementRecord BuildElementRec11(std::int16_t flags, const Shorts<4>& h,
                                              const Doubles<3>& d, const Shorts<2>& h2,
                                              const Doubles<5>& d2);
[[nodiscard]] ElementRecord BuildElementRec12(std::int16_t flags, const Shorts<4>& h,
                                              const Doubles<3>& d, const Shorts<2>& h2,
                                              const Doubles<7>& d2);
[[nodiscard]] ElementRecord BuildElementRec13(std::int16_t flags, std::int16_t h,
                                              std::string_view text1, std::string_view text2);
[[nodiscard]] ElementRecord BuildElementRec16(std::int16_t flags, const Shorts<4>& h,
                                              const Doubles<3>& d, const Shorts<2>& h2);
[[nodiscard]] ElementRecord BuildElementRec17(std::int16_t flags, const Shorts<4>& h,
                                              const Doubles<3>& d);
[[nodiscard]] ElementRecord BuildElementRec18(std::int16_t flags, const Shorts<4>& h,
                                              const Doubles<16>& d);
[[nodiscard]] ElementRecord BuildElementRec19(std::int16_t flags, const Shorts<3>& h, double d,
                                              std::int16_t h2, const Doubles<3>& d2);
[[nodiscard]] ElementRecord BuildElementRec20(std::int16_t flags, const Shorts<3>& h);

// ---- The process-wide session --------------------------------------------------------
DbSession& PdmDb_CreateSession();
[[nodiscard]] DbSession* PdmDb_Session();

// ---- Requests of the walk ------------------------------------------------------------
// Builds and puts a record of each kind (PdmDb_PutElement).
void PdmDb_PutElementRec1(std::int16_t flags, const Shorts<3>& h, const Doubles<2>& d);
void PdmDb_PutElementRec2(std::int16_t flags, const Shorts<4>& h, const Doubles<7>& d);
void PdmDb_PutElementRec3(std::int16_t flags, const Shorts<4>& h, const Doubles<9>& d);
void PdmDb_PutElementRec4(std::int16_t flags, const Shorts<4>& h, const Doubles<6>& d);
void PdmDb_PutElementRec5(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                          const Shorts<2>& h2, const Doubles<3>& d2);
void PdmDb_PutElementRec6(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                          const Shorts<2>& h2);
void PdmDb_PutElementRec7(std::int16_t flags, const Shorts<4>& h, const Doubles<6>& d);
void PdmDb_PutElementRec8(std::int16_t flags, const Shorts<4>& h, const Doubles<4>& d);
void PdmDb_PutElementRec9(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d);
void PdmDb_PutElementRec10(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2, const Doubles<1>& d2);
void PdmDb_PutElementRec11(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2, const Doubles<5>& d2);
void PdmDb_PutElementRec12(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2, const Doubles<7>& d2);
void PdmDb_PutElementRec13(std::int16_t flags, std::int16_t h, std::string_view text1,
                           std::string_view text2);
void PdmDb_PutElementRec16(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2);
void PdmDb_PutElementRec17(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d);
void PdmDb_PutElementRec18(std::int16_t flags, const Shorts<4>& h, const Doubles<16>& d);
void PdmDb_PutElementRec19(std::int16_t flags, const Shorts<3>& h, double d, std::int16_t h2,
                           const Doubles<3>& d2);
void PdmDb_PutElementRec20(std::int16_t flags, const Shorts<3>& h);

// Command 27, then the follow-ups of the kind the server echoes (none for a negative
// kind, 13, 14 and unknown kinds).
void PdmDb_PutElement(const ElementRecord& record);
// Command 18 in pieces of at most 256 bytes.
void PdmDb_PutElemData(std::span<const std::uint8_t> data);
// Command 18 with the text's length (16-bit; the text is read up to its first NUL and
// cut to 65535 bytes on a character boundary), then command 18 with its bytes.
void PdmDb_PutElemText(std::string_view text);
// Command 18 with the marker 21 / 22 (negated when flags has bit 0x8000).
void PdmDb_PutGroupBegin(std::int16_t flags);
void PdmDb_PutGroupEnd(std::int16_t flags);
// Command 14 (multi-part).
void PdmDb_EndElement();
// n - trunc(n / 128) for the record position n at session offset 260; 0 without a
// session.
[[nodiscard]] std::int32_t PdmDb_LastElemNo();
// Command 118.
void PdmDb_SetElemAttr(std::int16_t value);
// Command 111 with the name, a and b; command 116 with c, d, e, f.
void PdmDb_PutNameAndStyle(std::string_view text, std::int32_t a, std::int32_t b, std::uint8_t c,
                           std::uint8_t d, std::uint8_t e, std::uint8_t f);
// Command 972, then the block as command-973 pieces of entry `entry`.
void PdmDb_PutBlock2K(std::span<const std::uint8_t, 2048> block, std::uint8_t entry);
// Command 13 (multi-part).
void PdmDb_QueryMulti();
// Command 21.
void PdmDb_DeleteElement(std::int32_t position);
// PdmDb_EndUpdate, PdmDb_Close, then frees the session. 0, or 22 when the close result
// is non-zero, the server could not be reached for it, or any exchange of the session's
// life failed on the pipe (requests were lost). 0 without a session (nothing to close).
[[nodiscard]] int PdmDb_CloseDrawing();
