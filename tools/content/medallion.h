// The logo medallion's model (entry 4): a coin of radius 0.9 in the logo's unit square, facing
// the viewer, textured from one picture (qmcPaintMedallion) through the given material.
#pragma once

#include "content.h"

QMCModel qmcMedallionModel(const std::string& mtlFile, const std::string& material);
