// The widget set: flat and picture buttons, tiled backgrounds, link labels.
