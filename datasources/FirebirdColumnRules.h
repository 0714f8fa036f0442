#pragma once

// How the columns of a project database become the fields of a structure and its
// observations: numbers with either decimal separator, flow directions, defect classes,
// film times and the composed observation text.

#include <cstdint>
#include <string>
#include <string_view>

namespace kanvio {

// The decimal separator of the system's number format (the C library's, as the program
// set it up from the user's locale).
char SystemDecimalSeparator();

// The first "," (or, when there is none, the first ".") becomes separator; nothing else
// changes.
std::string NormaliseDecimalSeparator(std::string_view text, char separator);

// A number in the system's format with the given separator: blanks around it, an
// optional sign, digits with at most one separator, an optional exponent. False for
// anything else, including an empty text and infinite values.
bool ParseNumber(std::string_view text, char separator, double& value);

// The number a delivery writes in a column such as "12,5" or "12.5", whichever separator
// it used; false when it is not a number.
bool ParseDeliveredNumber(std::string_view text, double& value);

// True and the number for a text that is a whole number's plain decimal form, the form
// std::to_string gives: an optional "-", then digits without a leading zero ("0" itself
// aside). False for everything else: "+1", "01", "-0", " 1", "1.0", numbers beyond 64 bits.
bool PlainWholeNumber(std::string_view text, int64_t& value);

// True (with the flow) for "IN" in any case with blanks around it, for the language's
// downstream text exactly, and for "0".
bool IsDownstreamDirection(std::string_view flowDirection, std::string_view downstreamText);

// The whole number of the text (leading blanks allowed); for a text that is none, the value
// of its leading digits; 0 when there are none or the value does not fit.
int32_t DefectClassValue(std::string_view text);

// Film times with one-digit hours ("1:02:03") get their leading zero.
std::string VideoTimeText(std::string_view videoTime);

// The columns of one observation row that make up its text, as views into the row.
struct TObservationColumns {
    std::string_view Code; // KZL
    std::string_view Text;
    std::string_view Measure1;
    std::string_view Unit1;
    std::string_view Measure2;
    std::string_view Unit2;
    std::string_view StretchMarker; // Streckensch
    std::string_view From;          // Von
    std::string_view To;            // Bis
};

// The language texts of an observation text.
struct TObservationTexts {
    std::string StretchStart;
    std::string StretchEnd;
    std::string WholeReach;
    std::string WholeTube;
    std::string From;
    std::string To;
};

// "(" code ") " text, then ", " measure " " unit for each complete measure, then the
// stretch marker's text, then " " From " " from-value [" " To " " to-value].
std::string ObservationText(const TObservationColumns& row, const TObservationTexts& texts);

} // namespace kanvio
