#pragma once
// The errors of the spreadsheet engine. Every failing call of the office
// throws OfficeError with what was being done and the office's own words;
// an office that went away in the middle of a command throws OfficeLost.
#include <stdexcept>

#include "exchange/messages.h"

namespace trevolo {

class OfficeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The office ended (or was ended) while a command was using it. Its text is
// the message shown to the user.
class OfficeLost : public OfficeError {
public:
    OfficeLost() : OfficeError(kMsgOfficeLost) {}
};

}  // namespace trevolo
