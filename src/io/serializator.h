// Reading and writing the surface text file named in the "file" box.
#pragma once

#include "model/editor_state.h"

// Persistence interface of the editor: load and save the surface named by surfaceFileName.
// The id is that of the control that asked (-1 for every caller) and is not used.
class Serializator {
public:
    virtual ~Serializator() = default;
    virtual void load(int id) = 0;
    virtual void save(int id) = 0;
};

// The text format of the editor's surface files, on the state it is made for: the file its
// panel's "file" box names, the outcome on its status line. The editor has one, over its record.
class DefaultSerializator : public Serializator {
public:
    explicit DefaultSerializator(EditorState& state) : state_(state) {}
    void load(int id) override;
    void save(int id) override;

private:
    EditorState& state_;
};
