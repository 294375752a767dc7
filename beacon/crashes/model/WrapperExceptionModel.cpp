#include "beacon/crashes/model/WrapperExceptionModel.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/crashes/model/ModelLists.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kWrapperSdkName = "wrapperSdkName";
constexpr const char* kInnerExceptions = "innerExceptions";
} // namespace

Json WrapperExceptionModel::serializeToDictionary() const {
    Json json = ExceptionModel::serializeToDictionary();
    json_fields::put(json, kWrapperSdkName, wrapperSdkName);
    model_lists::put(json, kInnerExceptions, innerExceptions);
    return json;
}

bool WrapperExceptionModel::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const WrapperExceptionModel*>(&other);
    return o && ExceptionModel::isEqual(other) && wrapperSdkName == o->wrapperSdkName &&
           model_lists::equal(innerExceptions, o->innerExceptions);
}

void WrapperExceptionModel::encode(ArchiveWriter& w) const {
    ExceptionModel::encode(w);
    w.encodeString(kWrapperSdkName, wrapperSdkName);
    if (innerExceptions) w.encodeObjects(kInnerExceptions, *innerExceptions);
}

void WrapperExceptionModel::decode(ArchiveReader& r) {
    ExceptionModel::decode(r);
    wrapperSdkName = r.decodeString(kWrapperSdkName);
    innerExceptions = r.decodeObjects<WrapperExceptionModel>(kInnerExceptions);
}

} // namespace beacon
