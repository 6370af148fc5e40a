// Reading and writing the surface text file named in the "file" box.
#pragma once

// Persistence interface of the editor: load and save the surface named by surfaceFileName.
// The id is that of the control that asked (-1 for every caller) and is not used.
class Serializator {
public:
    virtual ~Serializator() = default;
    virtual void load(int id) = 0;
    virtual void save(int id) = 0;
};

// The text format of the editor's surface files. One instance, made on first use.
class DefaultSerializator : public Serializator {
public:
    static DefaultSerializator* getInstance();
    void load(int id) override;
    void save(int id) override;
};

// The serializer every command uses; set to DefaultSerializator::getInstance() before main.
extern Serializator* serializator;

// Callbacks of the "load points" and "save points" buttons.
void loadPointsCallback(int id);
void savePointsCallback(int id);
