#include "app/ways_in/way_in.h"

#include "control/player_view.h"

void DeliverRemoteAction(MessageSink& sink, Dialog& dialog, RemoteAction action) {
    RemoteMessage message{};
    if (MessageForRemote(action, ViewPlayer(dialog), &message))
        sink.Deliver(message.message, message.wParam);
}
