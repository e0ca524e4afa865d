#pragma once

// Registers the site's pages with the server's routes. Call once at start-up, before the server
// starts.
namespace sarvo {

void RegisterSiteHandlers();

}  // namespace sarvo
