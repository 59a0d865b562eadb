#pragma once

// A form's message codes (1 to 18). The named ones are those the form session acts on.
enum MessageFromClientCode : int {
    FormElementCode = 5,
    FormMetadataCode = 6,
    FormIdleModeCode = 7,
    FormThemeCode = 9,
    FormSettingsCode = 10,
    FormCommandSetCode = 14,
    FormMisInfoCode = 15,
    FormClosedCode = 16
};

// The codes of server messages for a form that the form session acts on.
enum FormMessageCode : int {
    FormAnyCode = 0,
    FormValuedElementCode = 1,
    FormFocusedElementCode = 2,
    FormValuedElementsCode = 6,
    FormInterimTextCode = 9
};

// The recognition server's message types as far as forms see them: 2xx types
// are meant for the form, 800000 passes through unchanged.
enum MessageType : int {
    ServerPassThroughType = 800000
};

// The two renumberings between a form and the recognition server. They are not
// symmetric: form codes go out as 1xx, server messages for forms come in as 2xx.
class MessageTypeMapper
{
public:
    static constexpr int None = -1;

    // 100 + code for 1 to 18 except 12; None otherwise.
    static int toAsr(MessageFromClientCode code);
    // type - 200 for 200 to 211 and 214 to 218; 800000 unchanged; None otherwise.
    static int toServerMessage(MessageType type);
};
