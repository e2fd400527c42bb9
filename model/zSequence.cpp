#include "zSequence.h"

#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

namespace ardvin {

std::string TVELSequence::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "Increment")) return IntToStr(Increment);
    if (SameText(key, "Seed")) return IntToStr(Seed);
    if (SameText(key, "Max")) return Max;
    if (SameText(key, "Min")) return Min;
    if (SameText(key, "Cycle")) return Cycle;
    if (SameText(key, "Cache")) return Cache;
    if (SameText(key, "CacheCode")) return CacheCode;
    if (SameText(key, "Order")) return Order;
    if (SameText(key, "IntegerType")) return IntegerType;
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELSequence::SetPropertyValue(std::string_view key, std::string_view value) {
    std::string* text = nullptr;
    if (SameText(key, "Increment") || SameText(key, "Seed")) {
        int32_t& field = SameText(key, "Increment") ? Increment : Seed;
        const int32_t v = StrToInt(value);
        if (field != v) {
            field = v;
            DoChanged();
        }
        return;
    }
    if (SameText(key, "Max")) text = &Max;
    else if (SameText(key, "Min")) text = &Min;
    else if (SameText(key, "Cycle")) text = &Cycle;
    else if (SameText(key, "Cache")) text = &Cache;
    else if (SameText(key, "CacheCode")) text = &CacheCode;
    else if (SameText(key, "Order")) text = &Order;
    else if (SameText(key, "IntegerType")) text = &IntegerType;
    if (!text) return TVELDatabaseObject::SetPropertyValue(key, value);
    if (*text != value) {
        *text = std::string(value);
        DoChanged();
    }
}

void TVELSequence::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    if (auto* s = dynamic_cast<const TVELSequence*>(&source)) {
        Increment = s->Increment;
        Seed = s->Seed;
        Max = s->Max;
        Min = s->Min;
        Cycle = s->Cycle;
        Cache = s->Cache;
        CacheCode = s->CacheCode;
        Order = s->Order;
        IntegerType = s->IntegerType;
    }
}

bool TVELSequence::Validate(bool fix, const TVELMessageCallback& callback) {
    bool ok = TVELDatabaseObject::Validate(fix, callback);
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    if (!s) return ok;
    ok = ValidateQualifiedName(GetNonQuotedQualifiedName(), s->SeqLabel + " name", false, false, callback,
                               s->MaxSequenceNameLength, RootDictionary()) && ok;
    auto drop = [&](std::string& field, bool supported, const char* text) {
        if (supported || field.empty()) return;
        AddMessage(mlWarning, text, callback);
        field.clear();
    };
    drop(Cycle, !s->SeqCycleCodes.empty(), "Cycle code not supported by target DBMS. Cycle code deleted.");
    if (!s->EnableSeqCache && (!Cache.empty() || !CacheCode.empty())) {
        AddMessage(mlWarning, "Cache code not supported by target DBMS. Cache code deleted.", callback);
        Cache.clear();
        CacheCode.clear();
    }
    drop(Order, !s->SeqOrderCodes.empty(), "Order code not supported by target DBMS. Order code deleted.");
    drop(IntegerType, !s->SeqIntegerTypes.empty(),
         "Integer type not supported by target DBMS. integer type deleted.");
    return ok;
}

std::string TVELSequence::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    AppendElement(r, "INCREMENT", IntToStr(Increment));
    AppendElement(r, "SEED", IntToStr(Seed));
    AppendElement(r, "MAX", Max);
    AppendElement(r, "MIN", Min);
    AppendElement(r, "CACHE", Cache);
    AppendElement(r, "CACHECODE", CacheCode);
    AppendElement(r, "CYCLE", Cycle);
    AppendElement(r, "ORDER", Order);
    AppendElement(r, "INTEGERTYPE", IntegerType);
    return r;
}

bool TVELSequence::LoadFromMarkup(std::string_view text) {
    if (!TVELDatabaseObject::LoadFromMarkup(text)) return false;
    Increment = StrToIntDef(ReadElement("INCREMENT", text, "1"), 1);
    Seed = StrToIntDef(ReadElement("SEED", text, "1"), 1);
    Max = ReadElementText("MAX", text);
    Min = ReadElementText("MIN", text);
    Cache = ReadElementText("CACHE", text);
    CacheCode = ReadElementText("CACHECODE", text);
    Cycle = ReadElementText("CYCLE", text);
    Order = ReadElementText("ORDER", text);
    IntegerType = ReadElementText("INTEGERTYPE", text);
    return true;
}

}  // namespace ardvin
