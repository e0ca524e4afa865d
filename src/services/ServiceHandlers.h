#pragma once

// Registers the visitor services with the server's routes. Call once at start-up, after the site's
// handlers and before the server starts.
namespace sarvo {

void RegisterServiceHandlers();

}  // namespace sarvo
