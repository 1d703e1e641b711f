#pragma once
// A window that receives the program's event codes (see event_codes.h).
#include <cstdint>

namespace qm {

class EventHandler {
public:
    virtual ~EventHandler() = default;
    // Returns the handler's answer; what it means depends on the code (for -1, 0 refuses).
    virtual int handleEvent(std::int16_t code) = 0;
};

} // namespace qm
