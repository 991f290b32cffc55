// The exchange with the survey control program, as the running sounder owns
// it: made once the sounder has channels, deleted after its workers end.
// The exchange lives in the outputs, above the sounder; the sounder only
// holds it for its lifetime.
#pragma once

class ISurveyControl
{
public:
    virtual ~ISurveyControl() = default;
};
