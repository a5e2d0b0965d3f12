// The object through its interface, as a simulator drives it, with the host callback as a
// Python callable.
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "model/object_handle.h"
#include "python/src/bindings.h"
#include "sizing/sizing_object.h"

namespace py = pybind11;

namespace kestrol::python {
namespace {

/// ISeparatorSizing for Python: the host callback becomes a Python callable.
class PyObjectHandle {
public:
    PyObjectHandle() : object_(kestrol::host::CreateSizingInstance()) {
        if (!object_) throw std::bad_alloc();
    }

    ISeparatorSizing& Object() { return *object_; }

    void SetCallback(py::object callback) {
        if (!callback.is_none() && !PyCallable_Check(callback.ptr())) throw py::type_error("the property callback must be callable or None");
        callback_ = std::move(callback);
        object_->SetPropertyCallback(callback_.is_none() ? nullptr : &Trampoline);
    }
    py::object Callback() const { return callback_; }

    /// Runs one interface call with this object's callback reachable and its errors raised.
    template <typename Call>
    auto Invoke(Call&& call) {
        Scope scope(this);
        auto result = call(*object_);
        if (pending_) {
            py::error_already_set error = std::move(*pending_);
            pending_.reset();
            throw error;
        }
        return result;
    }

    py::array_t<double> Vector() {
        const auto& sizing = static_cast<const kestrol::SizingObject&>(*object_);
        if (!sizing.HasVector()) return py::array_t<double>(0);
        // A copy: the object may reallocate its vector, and a view would then dangle.
        return SlotArray(object_->GetVectorPointer());
    }

private:
    class Scope {
    public:
        explicit Scope(PyObjectHandle* self) : saved_(active) { active = self; }
        ~Scope() { active = saved_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        PyObjectHandle* saved_;
    };

    // The callback is a plain function: the object it answers for is the one being called on
    // this thread, which holds the interpreter lock throughout.
    static double STDMETHODCALLTYPE Trampoline(std::int32_t code) {
        PyObjectHandle* self = active;
        if (self == nullptr || self->callback_.is_none() || self->pending_) return kestrol::kEmptyValue;
        try {
            return self->callback_(code).cast<double>();
        } catch (py::error_already_set& e) {
            self->pending_.emplace(std::move(e));
        } catch (const py::cast_error&) {
            PyErr_SetString(PyExc_TypeError, "the property callback must return a number");
            self->pending_.emplace();
        }
        return kestrol::kEmptyValue;
    }

    static thread_local PyObjectHandle* active;
    kestrol::host::ObjectHandle object_;
    py::object callback_ = py::none();
    std::optional<py::error_already_set> pending_;
};

thread_local PyObjectHandle* PyObjectHandle::active = nullptr;

}  // namespace

void BindObject(py::module_& m) {
    py::class_<PyObjectHandle> object(m, "SizingObject", R"(One sizing object driven through its interface, as a simulator does.

Every interface method under its snake_case name. Slots are numbered 1 to 39 (kestrol.Slot).
calculate() and alloc_values() answer the HRESULT (kestrol.check raises for a failure); the
sizing paths answer the empty marker kestrol.EMPTY_VALUE when they fail.

Attributes
----------
vector : numpy.ndarray
    A copy of the sizing vector, 40 long: slot X at ``vector[Slot.X]``, element 0 unused.
property_callback : callable or None
    The host's property callback, ``code -> float``, asked for a feed that has no liquid.

Examples
--------
>>> o = kestrol.SizingObject()
>>> for set_value, value in [(o.set_pressure, 3500.0), (o.set_temperature, 35.0),
...                          (o.set_vapour_mass_flow, 60000.0), (o.set_vapour_density, 28.0),
...                          (o.set_light_liquid_mass_flow, 1500.0), (o.set_light_liquid_density, 720.0),
...                          (o.set_auxiliary_value1, 1.0)]:
...     set_value(value)
>>> o.set_orientation(0)
>>> kestrol.check(o.calculate())
0
>>> diameter = o.get_value(kestrol.Slot.Diameter)
)");
    object.def(py::init<>());
#define KESTROL_SETTER(python, Name)                                                                                      \
    object.def(python, [](PyObjectHandle& self, double value) { self.Invoke([&](ISeparatorSizing& o) { o.Set##Name(value); return 0; }); }, \
               py::arg("value"), "The interface's Set" #Name ": one stream input, in the object's units.")
    KESTROL_SETTER("set_light_liquid_density", LightLiquidDensity);
    KESTROL_SETTER("set_light_liquid_mass_flow", LightLiquidMassFlow);
    KESTROL_SETTER("set_heavy_liquid_density", HeavyLiquidDensity);
    KESTROL_SETTER("set_heavy_liquid_mass_flow", HeavyLiquidMassFlow);
    KESTROL_SETTER("set_pressure", Pressure);
    KESTROL_SETTER("set_temperature", Temperature);
    KESTROL_SETTER("set_vapour_density", VapourDensity);
    KESTROL_SETTER("set_vapour_mass_flow", VapourMassFlow);
    KESTROL_SETTER("set_light_liquid_volume_flow", LightLiquidVolumeFlow);
    KESTROL_SETTER("set_heavy_liquid_volume_flow", HeavyLiquidVolumeFlow);
    KESTROL_SETTER("set_vapour_volume_flow", VapourVolumeFlow);
    KESTROL_SETTER("set_auxiliary_value1", AuxiliaryValue1);
    KESTROL_SETTER("set_auxiliary_value2", AuxiliaryValue2);
    KESTROL_SETTER("set_assumed_liquid_percent", AssumedLiquidPercent);
#undef KESTROL_SETTER
    object
        .def("calculate", [](PyObjectHandle& self, std::int32_t ignored) { return self.Invoke([&](ISeparatorSizing& o) { return static_cast<std::int32_t>(o.Calculate(ignored)); }); },
             py::arg("ignored") = 0, "Validates the feed and sizes; the HRESULT (0 for S_OK).")
        .def("set_property_callback", &PyObjectHandle::SetCallback, py::arg("callback"),
             "A callable taking the code (0: assumed liquid percent, 1: its density) and returning a number; None for none.")
        .def_property("property_callback", &PyObjectHandle::Callback, &PyObjectHandle::SetCallback)
        .def("set_orientation", [](PyObjectHandle& self, std::int32_t v) { self.Invoke([&](ISeparatorSizing& o) { o.SetOrientation(v); return 0; }); },
             py::arg("orientation"))
        .def("preset_options", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.PresetOptions(); }); },
             "Presets the design options for the orientation; EMPTY_VALUE when it cannot.")
        .def("size_vertical", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.SizeVertical(); }); },
             "Runs the vertical sizing path over the vector; EMPTY_VALUE when it fails.")
        .def("size_horizontal_vessel", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.SizeHorizontalVessel(); }); },
             "Runs the horizontal sizing path over the vector; EMPTY_VALUE when it fails.")
        .def("set_value", [](PyObjectHandle& self, double value, std::int32_t slot) { self.Invoke([&](ISeparatorSizing& o) { o.SetValue(value, slot); return 0; }); },
             py::arg("value"), py::arg("slot"), "Writes a slot (1 to 38); a negative value is a given one the sizing keeps.")
        .def("get_value",
             [](PyObjectHandle& self, std::int32_t slot) {
                 // The interface answers the empty marker for a slot it has not; in Python that is an index error.
                 if (slot < 1 || slot > kestrol::kSlotCount)
                     throw py::index_error("slot " + std::to_string(slot) + " is out of range: slots are numbered 1 to " +
                                           std::to_string(kestrol::kSlotCount));
                 return self.Invoke([&](ISeparatorSizing& o) { return o.GetValue(slot); });
             },
             py::arg("slot"), "Reads a slot (1 to 39, kestrol.Slot); IndexError outside them, EMPTY_VALUE before the vector exists.")
        .def("clear_values", [](PyObjectHandle& self) { self.Invoke([](ISeparatorSizing& o) { o.ClearValues(); return 0; }); })
        .def("calc_vertical_levels",
             [](PyObjectHandle& self, double holdupTime) {
                 return self.Invoke([&](ISeparatorSizing& o) {
                     const double result = o.CalcVerticalLevels(&holdupTime);
                     return std::make_pair(result, holdupTime);
                 });
             },
             py::arg("holdup_time") = kestrol::kEmptyValue, "The result and the hold-up time below the minimum level [s], as a pair.")
        .def("calc_horizontal_level_time", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.CalcHorizontalLevelTime(); }); })
        .def("alloc_values", [](PyObjectHandle& self, std::int32_t count) { return self.Invoke([&](ISeparatorSizing& o) { return static_cast<std::int32_t>(o.AllocValues(count)); }); },
             py::arg("count"))
        .def("get_vector_pointer",
             [](PyObjectHandle& self) {
                 self.Invoke([](ISeparatorSizing& o) { return o.GetVectorPointer(); });  // creates the vector, as the interface does
                 return self.Vector();
             },
             "Creates the vector if need be and gives it as the vector property does.")
        .def_property_readonly("vector", &PyObjectHandle::Vector,
                               "The vector as a read-only numpy array of 40 with slot X at vector[Slot.X], element 0 unused (NaN), "
                               "as Sizing.vector; a copy, and empty before the vector exists.");
}

}  // namespace kestrol::python
