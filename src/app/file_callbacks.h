// Callbacks of the panel's file buttons: "load points" (surface, STEP and IGES files), "save
// points", "export", "write lines plan" and "write offsets", on the editor's record, each with
// its outcome on the status line. The id is ignored.
#pragma once

#include "io/serializator.h"

// The editor's serializer, made over its record before main.
extern Serializator* serializator;

void loadPointsCallback(int id);
void savePointsCallback(int id);
// "load points": a STEP or IGES name is imported, any other goes through the serializer.
void loadOrImportCallback(int id);
void exportCallback(int id);
void linesPlanCallback(int id);
void offsetTableCallback(int id);
