/* Rimeflower controls: identifiers of the toolkit's resources. Read by the
   resource compiler too, so only #define lines. */
#pragma once

/* The "Set value" dialog and its items. */
#define RF_IDD_SET_VALUE 15092
#define RF_IDC_SV_NAME 15100
#define RF_IDC_SV_CURRENT1 15101
#define RF_IDC_SV_CURRENT2 15102
#define RF_IDC_SV_TYPE 15103
#define RF_IDC_SV_RANGE 15104
#define RF_IDC_SV_VALUE 15105
#define RF_IDC_SV_VALUE2 15106
#define RF_IDC_SV_MIN 15107
#define RF_IDC_SV_MAX 15108
#define RF_IDC_SV_MIN_LABEL 15109
#define RF_IDC_SV_MAX_LABEL 15110
