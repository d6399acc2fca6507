#include "config/FieldTable.h"

#include "common/StrUtils.h"

const RadioFieldInfo* FindRadioField(std::string_view code) {
    for (const RadioFieldInfo& f : RadioFieldTable()) {
        if (SameText(f.Code, code))
            return &f;
    }
    return nullptr;
}

std::string_view FieldLabel(std::string_view code) {
    const RadioFieldInfo* f = FindRadioField(code);
    return f != nullptr ? f->Label : code;
}
