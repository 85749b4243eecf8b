// The coded chains as textures: the level-of-detail code and the step, uploaded into the
// bound 2D texture.
#pragma once

namespace measure {

// Uploads the coded chain (size x size down to 1 x 1) into the bound 2D texture.
void uploadCodedChain(int size);
// Uploads a step into the bound 2D texture's every level (size x size down to 2 x 2): the
// left half black, the right half white, the step on the same line u = 0.5 at every level.
void uploadStepChain(int size);

}  // namespace measure
