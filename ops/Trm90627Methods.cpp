// The adaptors of com.tessaric.Trm90627: the automation object's 19 methods, for the bus and for a
// replayed script alike. Each converts its arguments when the call is read and returns the call
// of the operation of the same name.
#include "ops/BoardOperations.h"
#include "ops/Trm90627Interface.h"

#include <utility>

namespace tarsion {

namespace {

using Ops = CBoardOperations;

template <bool (Ops::*Operation)()>
CallWork Call(Ops& ops) {
    return [&ops] { return SuccessResult((ops.*Operation)()); };
}

template <bool (Ops::*Operation)(std::uint8_t, std::uint32_t)>
CallWork AddressAndWord(Ops& ops, const CCallNumber& address, const CCallNumber& word) {
    return [&ops, a = address.Byte(), w = word.Word()] { return SuccessResult((ops.*Operation)(a, w)); };
}

template <bool (Ops::*Operation)(std::uint8_t, std::uint8_t)>
CallWork RegisterAndByte(Ops& ops, const CCallNumber& reg, const CCallNumber& data) {
    return [&ops, r = reg.Byte(), d = data.Byte()] { return SuccessResult((ops.*Operation)(r, d)); };
}

// The short address is used by its low 8 bits; a read that failed answers 0.
template <bool (Ops::*Operation)(std::uint8_t, std::uint8_t&)>
CallWork ByteRead(Ops& ops, std::int16_t address) {
    return [&ops, r = static_cast<std::uint8_t>(address)] {
        std::uint8_t value = 0;
        const bool read = (ops.*Operation)(r, value);
        return CallResult{read, static_cast<std::int16_t>(read ? value : 0)};
    };
}

template <bool (Ops::*Operation)(const std::string&)>
CallWork FileCall(Ops& ops, std::string file) {
    return [&ops, path = CallPath(std::move(file))] { return SuccessResult((ops.*Operation)(path)); };
}

} // namespace

CallWork trm90627::SoftReset(Ops& ops) {
    return Call<&Ops::SoftReset>(ops);
}

CallWork trm90627::Reset(Ops& ops) {
    return Call<&Ops::Reset>(ops);
}

CallWork trm90627::Poke(Ops& ops, CCallNumber address, CCallNumber data) {
    return AddressAndWord<&Ops::Poke>(ops, address, data);
}

CallWork trm90627::ModifyBits(Ops& ops, CCallNumber address, CCallNumber data, CCallNumber mask) {
    return [&ops, a = address.Byte(), d = data.Word(), m = mask.Word()] {
        return SuccessResult(ops.ModifyBits(a, d, m));
    };
}

CallWork trm90627::SetBits(Ops& ops, CCallNumber address, CCallNumber mask) {
    return AddressAndWord<&Ops::SetBits>(ops, address, mask);
}

CallWork trm90627::ResetBits(Ops& ops, CCallNumber address, CCallNumber mask) {
    return AddressAndWord<&Ops::ResetBits>(ops, address, mask);
}

CallWork trm90627::Send(Ops& ops) {
    return Call<&Ops::Send>(ops);
}

CallWork trm90627::Stop(Ops& ops) {
    return Call<&Ops::Stop>(ops);
}

CallWork trm90627::Write(Ops& ops, CCallNumber address, CCallNumber data) {
    return RegisterAndByte<&Ops::Write>(ops, address, data);
}

CallWork trm90627::PldWrite(Ops& ops, CCallNumber address, CCallNumber data) {
    return RegisterAndByte<&Ops::PldWrite>(ops, address, data);
}

CallWork trm90627::LoadExternalMemory(Ops& ops, std::string file) {
    return FileCall<&Ops::LoadExternalMemory>(ops, std::move(file));
}

CallWork trm90627::LoadExternalMem(Ops& ops, std::int32_t iKind, std::int32_t qKind, double iAmplitude,
                                   double qAmplitude, double samplesPerCycle, double numberOfSamples) {
    return [&ops, iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples] {
        return SuccessResult(
            ops.LoadExternalMem(iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples));
    };
}

CallWork trm90627::DumpCoefficientRam(Ops& ops, std::int16_t ram, std::string file) {
    return [&ops, ram, path = CallPath(std::move(file))] {
        return SuccessResult(ops.DumpCoefficientRam(ram, path));
    };
}

CallWork trm90627::LoadConstellationRam(Ops& ops, std::string file) {
    return FileCall<&Ops::LoadConstellationRam>(ops, std::move(file));
}

CallWork trm90627::DumpConstellationRam(Ops& ops, std::string file) {
    return FileCall<&Ops::DumpConstellationRam>(ops, std::move(file));
}

CallWork trm90627::LoadCoefficientRam(Ops& ops, std::int16_t ram, std::string file, bool bestFit,
                                      double scale, bool loadOffset, std::int16_t interpolation,
                                      bool twoBitMode, bool symmetric) {
    return [&ops, ram, path = CallPath(std::move(file)), bestFit, scale, loadOffset, interpolation,
            twoBitMode, symmetric] {
        return SuccessResult(ops.LoadCoefficientRam(ram, path, bestFit, scale, loadOffset, interpolation,
                                                    twoBitMode, symmetric));
    };
}

CallWork trm90627::PldRead(Ops& ops, std::int16_t address) {
    return ByteRead<&Ops::PldRead>(ops, address);
}

CallWork trm90627::Read(Ops& ops, std::int16_t address) {
    return ByteRead<&Ops::Read>(ops, address);
}

CallWork trm90627::Peek(Ops& ops, std::int16_t address) {
    return [&ops, a = static_cast<std::uint8_t>(address)] {
        std::uint32_t value = 0;
        const bool read = ops.Peek(a, value);
        return CallResult{read, read ? static_cast<double>(value) : 0.0};
    };
}

} // namespace tarsion
