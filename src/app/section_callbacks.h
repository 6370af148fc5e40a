// Callbacks of the panel's controls that choose or edit the current section: the section
// buttons, scale, translate, rotate, weight, copy, flip, start and align. Each runs the model's
// edit on the editor's record; the id is ignored.
#pragma once

void currentSectionCallback(int id);

void scaleUpCallback(int id);
void scaleDownCallback(int id);
void translateXCallback(int id);
void translateYCallback(int id);
void translateZCallback(int id);
void translateZYCallback(int id);
void rotationCallback(int id);
void zRotCallback(int id);
void weightCallback(int id);
void copySectionCallback(int id);
void flipSectionCallback(int id);
void startBackCallback(int id);
void startForwardCallback(int id);
void alignSectionsCallback(int id);
