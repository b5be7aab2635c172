#include "delivery/BarcodeJob.h"

#include <algorithm>
#include <utility>

#include "delivery/Formatting.h"
#include "delivery/ShapedTrace.h"

namespace {

bool HasKey(const std::string& token) {
    const NamedToken* named = FindNamedToken(token);
    return !named || named->virtualKey != 0;
}

uint16_t Clamp16(size_t n) { return static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n); }

}  // namespace

void ShapeJob(TypingJob& job, ShapedBarcode* outcome) {
    if (job.shaped) return;
    ShapedBarcode shaped = ShapeBarcode(job.barcode.bytes, job.barcode.length, job.format.strip, job.shaper.get());
    job.units = std::move(shaped.units);
    job.shaped = true;
    if (outcome) *outcome = std::move(shaped);
}

const std::string& TokenOfPiece(const FormatSettings& format, int piece) {
    return piece == 0 ? format.PrefixChar : piece == 2 ? format.SuffixFirstChar : format.SuffixSecondChar;
}

int CtrlOfPiece(const FormatSettings& format, int piece) {
    return piece == 0 ? format.PrefixCharCtrl : piece == 2 ? format.SuffixFirstCharCtrl : format.SuffixSecondCharCtrl;
}

size_t KeysOfPiece(const TypingJob& job, int piece) {
    return piece == 1 ? job.units.size() : HasKey(TokenOfPiece(job.format, piece)) ? 1 : 0;
}

uint16_t KeysInAll(const TypingJob& job) {
    size_t keys = 0;
    for (int piece = 0; piece < PieceCount; ++piece) keys += KeysOfPiece(job, piece);
    return Clamp16(keys);
}

uint16_t KeysTyped(const TypingJob& job) {
    size_t keys = 0;
    for (int piece = 0; piece < job.piece && piece < PieceCount; ++piece) keys += KeysOfPiece(job, piece);
    if (job.piece == 1) keys += job.unitsTyped;
    return Clamp16(keys);
}

void RewindTo(TypingJob& job, uint16_t unit) {
    size_t left = unit;
    for (int piece = 0; piece < PieceCount; ++piece) {
        const size_t keys = KeysOfPiece(job, piece);
        if (left < keys || piece == PieceCount - 1) {
            job.piece = piece;
            job.unitsTyped = piece == 1 ? std::min(left, keys) : 0;
            return;
        }
        left -= keys;
    }
}
