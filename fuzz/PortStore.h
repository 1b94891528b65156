#pragma once
// The serial component's settings store, for any store: settings loaded from
// whatever the store held are stored afresh, loaded back and stored again,
// and both stores are byte for byte the same.

#include "FuzzSupport.h"
#include "comport/CPort.h"
#include "platform/Errors.h"

#include <exception>

namespace fuzz {

// load(port, file): false when the file holds no settings at all.
// save(port, file): stores the port's settings into the empty file.
template <class Load, class Save>
void portStoreRoundTrip(std::string_view bytes, Load load, Save save) {
    const auto path = scratch("store.ini");
    put(path, bytes);
    CPort::TComPort p;
    p.StoredSettings = {CPort::ssBasic,    CPort::ssFlowControl, CPort::ssBuffer,
                        CPort::ssTimeouts, CPort::ssParity,      CPort::ssOthers};
    try {
        if (!load(p, path)) return;
    } catch (const std::exception&) {
        return; // a value the store or the port refuses
    }
    const auto stored = [&](CPort::TComPort& port, const std::filesystem::path& file) {
        put(file, "");
        save(port, file);
        return get(file);
    };
    std::string once;
    try {
        once = stored(p, scratch("once.ini"));
    } catch (const ERangeError&) {
        return; // a text with a line break is refused, not written
    }
    CPort::TComPort q;
    q.StoredSettings = p.StoredSettings;
    check(load(q, scratch("once.ini")), "stored settings missing");
    check(stored(q, scratch("twice.ini")) == once, "load, save, load");
}

} // namespace fuzz
