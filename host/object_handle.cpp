#include "host/object_handle.h"

#include "sizing/sizing_object.h"

namespace kestrol::host {

ObjectHandle CreateSizingInstance() {
    ISeparatorSizing* object = CreateSizingObject();
    return ObjectHandle(object);
}

}  // namespace kestrol::host
