// The scripted parameters as the host's scripting sees them, written out
// independently of the parameter table in host/parameters.cpp, so that a
// slip in either shows up as a difference.
#pragma once

namespace rf::testing {

struct ExpectedParameter {
  const char* name;
  const char* key;
  const char* type;  // "long" or "doub"
};

constexpr ExpectedParameter kExpectedParameters[47] = {
    {"Background Color", "BkCl", "long"}, {"Emitter Type", "EmTp", "long"},
    {"Center X", "CtnX", "doub"},         {"Center Y", "CtnY", "doub"},
    {"RenderMode", "RndM", "long"},       {"MaskKind", "MskK", "long"},
    {"PatternKind", "PtrK", "long"},      {"GrowDirect", "GrwD", "long"},
    {"RandomSeed", "RndS", "long"},       {"MinInterval", "MnIn", "doub"},
    {"MaxIterations", "MxIt", "long"},    {"MaxTriangles", "MxTr", "long"},
    {"Width", "Wdth", "doub"},            {"Lenght", "Lngh", "doub"},
    {"Completance", "Comp", "doub"},      {"CompletanceDist", "CmDs", "doub"},
    {"Dispers", "Dspr", "doub"},          {"LoseInitDir", "LsID", "doub"},
    {"PLenght", "PLen", "doub"},          {"PWidth", "PWid", "doub"},
    {"IntervDepend", "InDp", "doub"},     {"Scale", "Scle", "doub"},
    {"Diffuse", "Diff", "long"},          {"Speculare", "Spec", "long"},
    {"Shininess", "Shin", "doub"},        {"Shinstrength", "ShSt", "doub"},
    {"SelfIllumination", "SlIl", "doub"}, {"Transparancy", "Trns", "doub"},
    {"BumpPercent", "BmpP", "doub"},      {"Refraction", "Rfrc", "doub"},
    {"Koefficient", "Keff", "doub"},      {"Aberration", "Abbr", "doub"},
    {"LightColor", "LgCl", "long"},       {"LightAlpha", "LgAl", "doub"},
    {"LightBeta", "LgBt", "doub"},        {"LightMultiplay", "LgMt", "doub"},
    {"UseBackLight", "UsBk", "long"},     {"AlphaCut", "AlpC", "long"},
    {"UseGlass", "UsGl", "long"},         {"EffectKind", "EfKn", "long"},
    {"Turn", "Turn", "doub"},             {"Turn1", "Trn1", "doub"},
    {"MaxTriangles1", "MxT1", "long"},    {"RotateX", "RttX", "doub"},
    {"Alpha", "Alph", "doub"},            {"Beta", "Beta", "doub"},
    {"Color", "Colr", "long"},
};

}  // namespace rf::testing
