#pragma once

// Exported (by the .def file, under its MSVC name) for hosts that import the class; it has no state and no behaviour.
// Nothing in the library creates or uses an instance.
class CHalvetAppUI {
public:
    CHalvetAppUI& operator=(const CHalvetAppUI& other);
};
