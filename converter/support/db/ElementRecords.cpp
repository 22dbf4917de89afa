// Records are packed by one small writer that advances through the layout, so every
// builder is its kind's layout written out in argument order and nothing else.
#include "support/db/ElementRecords.h"

#include <memory>
#include <string>

#include "platform/Cp932.h"
#include "support/ByteOrder.h"
#include "support/db/DbSessionOps.h"

namespace {

constexpr std::size_t kText1Room = 16;   // bytes 4..19
constexpr std::size_t kText2Room = 120;  // bytes 20..139
constexpr int kCloseFailed = 22;

std::unique_ptr<DbSession> processSession;

class RecordWriter {
  public:
    RecordWriter(std::int16_t flags, std::int16_t kind) {
        const bool negative = (static_cast<std::uint16_t>(flags) & 0x8000u) != 0;
        Put(static_cast<std::int16_t>(negative ? -kind : kind));
    }
    void Put(std::int16_t value) {
        (void)StoreI16(record_, at_, value);
        at_ += 2;
    }
    void Put(double value) {
        (void)StoreF64(record_, at_, value);
        at_ += 8;
    }
    template <class T, std::size_t N>
    void Put(const std::array<T, N>& values) {
        for (T v : values) Put(v);
    }
    ElementRecord& record() { return record_; }

  private:
    ElementRecord record_{};
    std::size_t at_ = 0;
};

template <class... Fields>
ElementRecord Build(std::int16_t flags, std::int16_t kind, const Fields&... fields) {
    RecordWriter writer(flags, kind);
    (writer.Put(fields), ...);
    return writer.record();
}

std::int16_t I16At(const ElementRecord& rec, std::size_t offset) {
    std::int16_t v = 0;
    (void)LoadI16(rec, offset, v);
    return v;
}

std::int32_t I32At(const ElementRecord& rec, std::size_t offset) {
    std::int32_t v = 0;
    (void)LoadI32(rec, offset, v);
    return v;
}

void FollowUp33(DbSession& s, const ElementRecord& rec) {
    std::array<std::int32_t, 6> words{};
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = I32At(rec, 10 + 4 * i);
    PdmDb_FollowUp33(s, I16At(rec, 6), I16At(rec, 8), words);
}

void SendMarker(std::int16_t flags, std::int16_t marker) {
    const bool negative = (static_cast<std::uint16_t>(flags) & 0x8000u) != 0;
    std::array<std::uint8_t, 2> bytes{};
    (void)StoreI16(bytes, 0, static_cast<std::int16_t>(negative ? -marker : marker));
    PdmDb_PutElemData(bytes);
}

}  // namespace

ElementRecord BuildElementRec1(std::int16_t flags, const Shorts<3>& h, const Doubles<2>& d) {
    return Build(flags, 1, h, d);
}
ElementRecord BuildElementRec2(std::int16_t flags, const Shorts<4>& h, const Doubles<7>& d) {
    return Build(flags, 2, h, d);
}
ElementRecord BuildElementRec3(std::int16_t flags, const Shorts<4>& h, const Doubles<9>& d) {
    return Build(flags, 3, h, d);
}
ElementRecord BuildElementRec4(std::int16_t flags, const Shorts<4>& h, const Doubles<6>& d) {
    return Build(flags, 4, h, d);
}
ElementRecord BuildElementRec5(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                               const Shorts<2>& h2, const Doubles<3>& d2) {
    return Build(flags, 5, h, d, h2, d2);
}
ElementRecord BuildElementRec6(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                               const Shorts<2>& h2) {
    return Build(flags, 6, h, d, h2);
}
ElementRecord BuildElementRec7(std::int16_t flags, const Shorts<4>& h, const Doubles<6>& d) {
    return Build(flags, 7, h, d);
}
ElementRecord BuildElementRec8(std::int16_t flags, const Shorts<4>& h, const Doubles<4>& d) {
    return Build(flags, 8, h, d);
}
ElementRecord BuildElementRec9(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d) {
    return Build(flags, 9, h, d);
}
ElementRecord BuildElementRec10(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                                const Shorts<2>& h2, const Doubles<1>& d2) {
    return Build(flags, 10, h, d, h2, d2);
}
ElementRecord BuildElementRec11(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                                const Shorts<2>& h2, const Doubles<5>& d2) {
    return Build(flags, 11, h, d, h2, d2);
}
ElementRecord BuildElementRec12(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                                const Shorts<2>& h2, const Doubles<7>& d2) {
    return Build(flags, 12, h, d, h2, d2);
}
ElementRecord BuildElementRec13(std::int16_t flags, std::int16_t h, std::string_view text1,
                                std::string_view text2) {
    ElementRecord rec = Build(flags, 13, h);
    StoreNulString(rec, 4, text1, kText1Room);
    StoreNulString(rec, 20, text2, kText2Room);
    return rec;
}
ElementRecord BuildElementRec16(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                                const Shorts<2>& h2) {
    return Build(flags, 16, h, d, h2);
}
ElementRecord BuildElementRec17(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d) {
    return Build(flags, 17, h, d);
}
ElementRecord BuildElementRec18(std::int16_t flags, const Shorts<4>& h, const Doubles<16>& d) {
    return Build(flags, 18, h, d);
}
ElementRecord BuildElementRec19(std::int16_t flags, const Shorts<3>& h, double d, std::int16_t h2,
                                const Doubles<3>& d2) {
    return Build(flags, 19, h, d, h2, d2);
}
ElementRecord BuildElementRec20(std::int16_t flags, const Shorts<3>& h) {
    return Build(flags, 20, h);
}

DbSession& PdmDb_CreateSession() {
    processSession = std::make_unique<DbSession>();
    return *processSession;
}

DbSession* PdmDb_Session() { return processSession.get(); }

void PdmDb_PutElementRec1(std::int16_t flags, const Shorts<3>& h, const Doubles<2>& d) {
    PdmDb_PutElement(BuildElementRec1(flags, h, d));
}
void PdmDb_PutElementRec2(std::int16_t flags, const Shorts<4>& h, const Doubles<7>& d) {
    PdmDb_PutElement(BuildElementRec2(flags, h, d));
}
void PdmDb_PutElementRec3(std::int16_t flags, const Shorts<4>& h, const Doubles<9>& d) {
    PdmDb_PutElement(BuildElementRec3(flags, h, d));
}
void PdmDb_PutElementRec4(std::int16_t flags, const Shorts<4>& h, const Doubles<6>& d) {
    PdmDb_PutElement(BuildElementRec4(flags, h, d));
}
void PdmDb_PutElementRec5(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                          const Shorts<2>& h2, const Doubles<3>& d2) {
    PdmDb_PutElement(BuildElementRec5(flags, h, d, h2, d2));
}
void PdmDb_PutElementRec6(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                          const Shorts<2>& h2) {
    PdmDb_PutElement(BuildElementRec6(flags, h, d, h2));
}
void PdmDb_PutElementRec7(std::int16_t flags, const Shorts<4>& h, const Doubles<6>& d) {
    PdmDb_PutElement(BuildElementRec7(flags, h, d));
}
void PdmDb_PutElementRec8(std::int16_t flags, const Shorts<4>& h, const Doubles<4>& d) {
    PdmDb_PutElement(BuildElementRec8(flags, h, d));
}
void PdmDb_PutElementRec9(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d) {
    PdmDb_PutElement(BuildElementRec9(flags, h, d));
}
void PdmDb_PutElementRec10(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2, const Doubles<1>& d2) {
    PdmDb_PutElement(BuildElementRec10(flags, h, d, h2, d2));
}
void PdmDb_PutElementRec11(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2, const Doubles<5>& d2) {
    PdmDb_PutElement(BuildElementRec11(flags, h, d, h2, d2));
}
void PdmDb_PutElementRec12(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2, const Doubles<7>& d2) {
    PdmDb_PutElement(BuildElementRec12(flags, h, d, h2, d2));
}
void PdmDb_PutElementRec13(std::int16_t flags, std::int16_t h, std::string_view text1,
                           std::string_view text2) {
    PdmDb_PutElement(BuildElementRec13(flags, h, text1, text2));
}
void PdmDb_PutElementRec16(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d,
                           const Shorts<2>& h2) {
    PdmDb_PutElement(BuildElementRec16(flags, h, d, h2));
}
void PdmDb_PutElementRec17(std::int16_t flags, const Shorts<4>& h, const Doubles<3>& d) {
    PdmDb_PutElement(BuildElementRec17(flags, h, d));
}
void PdmDb_PutElementRec18(std::int16_t flags, const Shorts<4>& h, const Doubles<16>& d) {
    PdmDb_PutElement(BuildElementRec18(flags, h, d));
}
void PdmDb_PutElementRec19(std::int16_t flags, const Shorts<3>& h, double d, std::int16_t h2,
                           const Doubles<3>& d2) {
    PdmDb_PutElement(BuildElementRec19(flags, h, d, h2, d2));
}
void PdmDb_PutElementRec20(std::int16_t flags, const Shorts<3>& h) {
    PdmDb_PutElement(BuildElementRec20(flags, h));
}

void PdmDb_PutElement(const ElementRecord& record) {
    DbSession* s = processSession.get();
    if (s == nullptr) return;
    ElementRecord rec{};
    PdmDb_PutRecord(*s, record, rec);
    switch (I16At(rec, 0)) {
        case 1:
            PdmDb_FollowUp31(*s, I16At(rec, 6));
            break;
        case 2:
        case 3:
        case 4:
        case 17:
        case 18:
            FollowUp33(*s, rec);
            break;
        case 5:
        case 6:
        case 15:
        case 16:
            FollowUp33(*s, rec);
            (void)PdmDb_FollowUp35(*s, I16At(rec, 34), I16At(rec, 36));
            break;
        case 7:
        case 8:
            (void)PdmDb_FollowUp37(*s, I16At(rec, 6), I16At(rec, 8), I32At(rec, 10),
                                   I32At(rec, 14));
            break;
        case 9:
            (void)PdmDb_FollowUp39(*s, I16At(rec, 6), I16At(rec, 8), I32At(rec, 10),
                                   I32At(rec, 14));
            break;
        case 10:
        case 11:
        case 12:
            FollowUp33(*s, rec);
            (void)PdmDb_FollowUp41(*s, I16At(rec, 34), I16At(rec, 36), I32At(rec, 38),
                                   I32At(rec, 42));
            break;
        case 19:
            (void)PdmDb_FollowUp37(*s, I16At(rec, 6), -1, I32At(rec, 8), I32At(rec, 12));
            break;
        default:  // 13, 14, negative kinds and kinds the server does not know
            break;
    }
}

void PdmDb_PutElemData(std::span<const std::uint8_t> data) {
    if (DbSession* s = processSession.get()) PdmDb_SendElemData(*s, data);
}

void PdmDb_PutElemText(std::string_view text) {
    if (processSession == nullptr) return;
    std::string bytes = platform::CutToBytes(UpToNul(text), 0xFFFF);
    std::array<std::uint8_t, 2> length{};
    (void)StoreU16(length, 0, static_cast<std::uint16_t>(bytes.size()));
    PdmDb_PutElemData(length);
    PdmDb_PutElemData(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void PdmDb_PutGroupBegin(std::int16_t flags) { SendMarker(flags, 21); }
void PdmDb_PutGroupEnd(std::int16_t flags) { SendMarker(flags, 22); }

void PdmDb_EndElement() {
    if (DbSession* s = processSession.get()) PdmDb_MultiEndElement(*s);
}

std::int32_t PdmDb_LastElemNo() {
    if (processSession == nullptr) return 0;
    const std::int32_t n = SessionLastRecord(processSession->block);
    return n - n / 128;
}

void PdmDb_SetElemAttr(std::int16_t value) {
    if (DbSession* s = processSession.get()) PdmDb_PutImageCount(*s, value);
}

void PdmDb_PutNameAndStyle(std::string_view text, std::int32_t a, std::int32_t b, std::uint8_t c,
                           std::uint8_t d, std::uint8_t e, std::uint8_t f) {
    DbSession* s = processSession.get();
    if (s == nullptr) return;
    PdmDb_PutImageName(*s, text, a, b);
    PdmDb_PutImageBytes(*s, c, d, e, f);
}

void PdmDb_PutBlock2K(std::span<const std::uint8_t, 2048> block, std::uint8_t entry) {
    DbSession* s = processSession.get();
    if (s == nullptr) return;
    PdmDb_BeginSheetBlock(*s);
    PdmDb_PutSheetBlock(*s, entry, block);
}

void PdmDb_QueryMulti() {
    if (DbSession* s = processSession.get()) PdmDb_MultiQuery(*s);
}

void PdmDb_DeleteElement(std::int32_t position) {
    if (DbSession* s = processSession.get()) PdmDb_RemoveElement(*s, position);
}

int PdmDb_CloseDrawing() {
    if (processSession == nullptr) return 0;
    PdmDb_EndUpdate(*processSession);
    const int result = PdmDb_Close(*processSession);
    const bool lost = processSession->transportFailed;
    processSession.reset();
    return (result != 0 || lost) ? kCloseFailed : 0;
}
