#include "MessageRecorder.h"

namespace testsupport {

void MessageRecorder::HandleMessage(Message* message)
{
    seen.push_back({message->name, message->type, message->sender, message->target, message->number, message->text,
                    message->vector, message->audioClip});
    if (onMessage)
        onMessage(message);
}

std::vector<std::string> MessageRecorder::Names() const
{
    std::vector<std::string> names;
    for (const SeenMessage& s : seen)
        names.push_back(s.name);
    return names;
}

std::vector<std::string> MessageRecorder::Texts() const
{
    std::vector<std::string> texts;
    for (const SeenMessage& s : seen)
        texts.push_back(s.text);
    return texts;
}

int MessageRecorder::Count(const std::string& messageName) const
{
    int n = 0;
    for (const SeenMessage& s : seen)
        n += s.name == messageName ? 1 : 0;
    return n;
}

} // namespace testsupport
